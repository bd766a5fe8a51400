// The SSH library and the crypto library beneath it, made ready once per
// process on first use (never from DllMain): the crypto library's shared
// random generator locked through the system's primitives, then the SSH
// library's own start.
#pragma once

namespace quorlin {

// False when the libraries cannot start.
bool EnsureSshLibrary();

}  // namespace quorlin

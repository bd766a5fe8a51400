// The SSH library and the crypto library beneath it, made ready once per
// process on first use (never from DllMain).
#pragma once

namespace quorlin {

// False when the libraries cannot start.
bool EnsureSshLibrary();

// Frees what the crypto library keeps for the calling thread: a static
// crypto library has no DllMain of its own to hear of ending threads.
void ForgetSshThreadState() noexcept;

// Frees everything of the crypto library, as the DLL is unloaded (never at
// the process's end, when other threads may have been cut off inside it).
void EndSshLibrary() noexcept;

}  // namespace quorlin

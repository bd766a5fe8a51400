// Self-registration: class, ProgID and type-library entries.
#pragma once

#include <windows.h>

namespace quorlin::registration {

HRESULT Register();
HRESULT Unregister();

}  // namespace quorlin::registration

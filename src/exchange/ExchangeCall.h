// The batch members' arguments read and their batch run: PutFiles, GetFiles
// and Synchronize, written once for every transport above the session.
#pragma once

#include "RemoteAccess.h"

#include <oaidl.h>

#include <string>
#include <vector>

namespace quorlin {

enum class ExchangeMember { kPutFiles, kGetFiles, kSynchronize };

struct ExchangeArguments {
    ExchangeMember member = ExchangeMember::kPutFiles;
    const VARIANT* local = nullptr;   // a mask (PutFiles) or a folder
    const VARIANT* remote = nullptr;  // a mask (GetFiles) or a folder
    LONG direction = 0;               // Synchronize's
    const VARIANT* options = nullptr;
    const VARIANT* mask = nullptr;    // Synchronize's
};

// Runs one batch; `sent` holds the source-relative paths of the files sent,
// also when it fails part of the way.
HRESULT RunExchange(RemoteAccess& access, const ExchangeArguments& arguments, std::vector<std::wstring>& sent);

}  // namespace quorlin

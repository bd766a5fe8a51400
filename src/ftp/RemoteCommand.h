// The commands that change the remote tree without moving data. Each is one
// session operation on one or two paths and raises its own error when it fails.
#pragma once

#include "../text/CodePageText.h"
#include "../work/TimeLimit.h"
#include "../session/FtpSession.h"
#include <oaidl.h>

namespace quorlin {

enum class RemoteCommand { CreateDirectory, RemoveDirectory, RenameFile, DeleteFile };

// Converts the paths into `names`' code page (both before the call, for a
// rename), then makes the
// call on `session` as it is: a session that is not connected fails as the
// platform fails it, reported like any other failure. `secondPath` is used by RenameFile only.
// Within an active `limit` the call is made on the worker.
HRESULT RunRemoteCommand(RemoteCommand command, TimeLimit& limit, const CodePageText& names,
                         const std::shared_ptr<FtpSession>& session,
                         const VARIANT* path, const VARIANT* secondPath = nullptr);

}  // namespace quorlin

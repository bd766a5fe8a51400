#include "RemoteCommand.h"

#include "../text/CodePageText.h"
#include "../text/Error.h"
#include "../text/Text.h"
#include "../platform/Constants.h"
#include "FtpFailures.h"

#include <string>

namespace quorlin {
namespace {

struct CommandRow {
    bool (*call)(FtpSession& session, const std::string& path, const std::string& secondPath);
    bool takesTwoPaths;
    PlatformFailure failure;
};

// Indexed by RemoteCommand.
const CommandRow kCommands[] = {
    {[](FtpSession& session, const std::string& path, const std::string&) { return session.CreateFolder(path); },
     false, ftp_failure::kCreateDirectory},
    {[](FtpSession& session, const std::string& path, const std::string&) { return session.RemoveFolder(path); },
     false, ftp_failure::kRemoveDirectory},
    {[](FtpSession& session, const std::string& path, const std::string& newPath) {
         return session.Rename(path, newPath);
     },
     true, ftp_failure::kRenameFile},
    {[](FtpSession& session, const std::string& path, const std::string&) { return session.Delete(path); },
     false, ftp_failure::kDeleteFile},
};

static_assert(sizeof(kCommands) / sizeof(kCommands[0]) == static_cast<size_t>(RemoteCommand::DeleteFile) + 1,
              "one row per command");

}  // namespace

HRESULT RunRemoteCommand(RemoteCommand command, TimeLimit& limit, const CodePageText& names,
                         const std::shared_ptr<FtpSession>& session,
                         const VARIANT* path, const VARIANT* secondPath) {
    const CommandRow& row = kCommands[static_cast<size_t>(command)];
    std::wstring firstText, secondText;
    HRESULT hr = VariantToText(path, source::kFtp, firstText);
    if (SUCCEEDED(hr) && row.takesTwoPaths) hr = VariantToText(secondPath, source::kFtp, secondText);
    std::string first, second;
    if (SUCCEEDED(hr)) hr = RemoteText(names, firstText, source::kFtp, row.failure, first);
    if (SUCCEEDED(hr)) hr = RemoteText(names, secondText, source::kFtp, row.failure, second);
    if (FAILED(hr)) return hr;
    // The call owns its texts: within a limit it may run on after the member.
    const auto call = row.call;
    return limit.CallPlatform(source::kFtp, row.failure,
                              [=] { return call(*session, first, second); });
}

}  // namespace quorlin

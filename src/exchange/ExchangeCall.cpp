#include "ExchangeCall.h"

#include "../ftp/FtpFailures.h"
#include "../platform/Constants.h"
#include "../text/Text.h"
#include "FileExchange.h"

namespace quorlin {
namespace {

HRESULT ReadOptions(const VARIANT* value, bool synchronize, LONG& options) {
    std::optional<LONG> number;
    const HRESULT hr = OptionalNumber(value, source::kFtp, number);
    if (FAILED(hr)) return hr;
    options = number.value_or(0);
    if ((options & ~kExchangeAllOptions) != 0 || (!synchronize && (options & kExchangeDeleteExtra)))
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    return S_OK;
}

// "folder\*.csv;*.txt | *.tmp": the folder stands before the last separator
// ahead of the first pattern's end; without one the mask is a name in `here`.
void SplitMask(const std::wstring& text, const wchar_t* separators, const std::wstring& here, std::wstring& folder,
               std::wstring& mask) {
    const size_t patternsEnd = text.find_first_of(L";|");
    const size_t last = text.find_last_of(separators, patternsEnd == std::wstring::npos ? std::wstring::npos
                                                                                         : patternsEnd);
    if (last == std::wstring::npos) {
        folder = here;
        mask = text;
        return;
    }
    folder = text.substr(0, last == 0 || (last == 2 && text[1] == L':') ? last + 1 : last);
    mask = text.substr(last + 1);
}

HRESULT RaiseRow(const PlatformFailure& failure, const std::wstring& what, DWORD code) {
    return RaiseError(failure.code, source::kFtp,
                      std::wstring(failure.message) + L" " + what + L": " + BuildErrorText(code, failure.operation));
}

}  // namespace

HRESULT RunExchange(RemoteAccess& access, const ExchangeArguments& arguments, std::vector<std::wstring>& sent) {
    sent.clear();
    const bool synchronize = arguments.member == ExchangeMember::kSynchronize;
    ExchangePlan plan;
    plan.failure = arguments.member == ExchangeMember::kPutFiles   ? ftp_failure::kPutFiles
                   : arguments.member == ExchangeMember::kGetFiles ? ftp_failure::kGetFiles
                                                                   : ftp_failure::kSynchronize;
    plan.synchronize = synchronize;
    plan.toRemote = arguments.member == ExchangeMember::kPutFiles ||
                    (synchronize && arguments.direction == kSynchronizeToRemote);
    if (synchronize && arguments.direction != kSynchronizeToRemote && arguments.direction != kSynchronizeToLocal)
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);

    std::wstring localText, remoteText, maskText = L"*";
    HRESULT hr = VariantToText(arguments.local, source::kFtp, localText);
    if (SUCCEEDED(hr)) hr = VariantToText(arguments.remote, source::kFtp, remoteText);
    if (SUCCEEDED(hr)) hr = ReadOptions(arguments.options, synchronize, plan.options);
    if (SUCCEEDED(hr) && synchronize && !ArgumentMissing(arguments.mask)) hr = VariantToText(arguments.mask, source::kFtp, maskText);
    if (FAILED(hr)) return hr;

    std::wstring localFolder = localText, remoteFolder = remoteText;
    if (arguments.member == ExchangeMember::kPutFiles) SplitMask(localText, L"\\/", L".", localFolder, maskText);
    if (arguments.member == ExchangeMember::kGetFiles) SplitMask(remoteText, L"/", L"", remoteFolder, maskText);
    if (!plan.mask.Parse(maskText)) return RaiseRow(plan.failure, maskText, ERROR_INVALID_NAME);
    // The local folder reaches the platform whole or not at all.
    hr = CheckPlatformText(localFolder, source::kFtp, plan.failure);
    if (FAILED(hr)) return hr;

    LocalSide local;
    RemoteSide remote(access);
    std::wstring remoteAbsolute;
    const std::wstring* failed = &remoteFolder;
    hr = remote.Resolve(remoteFolder, remoteAbsolute);
    // A missing local target is made, as GetDirectory makes it.
    if (SUCCEEDED(hr) && !plan.toRemote && !FolderExists(localFolder)) {
        failed = &localFolder;
        hr = local.MakeFolder(localFolder);
    }
    if (FAILED(hr)) {
        const std::wstring why = RaisedDescription();
        remote.Restore();
        return RaiseError(plan.failure.code, source::kFtp, std::wstring(plan.failure.message) + L" " + *failed + L": " + why);
    }
    const bool toRemote = plan.toRemote;
    FileExchange exchange(local, remote, std::move(plan));
    hr = toRemote ? exchange.Run(localFolder, remoteAbsolute) : exchange.Run(remoteAbsolute, localFolder);
    sent = exchange.Sent();
    remote.Restore();
    return hr;
}

}  // namespace quorlin

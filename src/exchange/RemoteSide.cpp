#include "RemoteSide.h"

#include "../ftp/FtpFailures.h"
#include "../platform/Constants.h"
#include "../platform/Owners.h"

#include <ctime>
#include <memory>

namespace quorlin {
namespace {

// Seconds from 1601 to 1970.
constexpr LONGLONG kUnixEpochSeconds = 11644473600LL;

// How exactly a listed time is known: to the second where the listing said
// so; else to the minute for the last half year's files and to the day for
// older ones, as FTP listings show them.
LONGLONG ListedPrecision(const ListedEntry& listed, LONGLONG modified) {
    if (listed.exactModified.dwLowDateTime | listed.exactModified.dwHighDateTime) return 1;
    const LONGLONG now = static_cast<LONGLONG>(std::time(nullptr)) + kUnixEpochSeconds;
    const LONGLONG age = now - modified;
    return age > -kMinuteListingSeconds && age < kMinuteListingSeconds ? 60 : 24 * 3600;
}

// Runs `ask` while keeping the error already raised: a step that only tidies up after a failure.
void Quietly(const std::function<void()>& ask) {
    ComPtr<IErrorInfo> kept;
    GetErrorInfo(0, kept.ReleaseAndGetAddressOf());
    ask();
    SetErrorInfo(0, kept.Get());
}

}  // namespace

HRESULT RemoteSide::Bytes(const std::wstring& path, const PlatformFailure& failure, std::string& bytes) {
    return RemoteText(access_.Names(), path, source::kFtp, failure, bytes);
}

std::wstring RemoteSide::Join(const std::wstring& folder, const std::wstring& name) const {
    if (!folder.empty() && folder.back() == L'/') return folder + name;
    return folder + kRemoteSeparator + name;
}

HRESULT RemoteSide::CheckName(const std::wstring& name) {
    std::string bytes;
    return Bytes(name, ftp_failure::kPutFile, bytes);
}

HRESULT RemoteSide::Resolve(const std::wstring& folder, std::wstring& absolute) {
    auto directory = std::make_shared<std::string>();
    auto ask = [directory](FtpSession& session) { return session.CurrentDirectory(*directory); };
    HRESULT hr = access_.Ask(ftp_failure::kRetrieveDirectory, ask);
    if (FAILED(hr)) return hr;
    if (!started_) started_ = *directory;
    if (!folder.empty()) {
        std::string bytes;
        hr = Bytes(folder, ftp_failure::kSetDirectory, bytes);
        if (SUCCEEDED(hr))
            hr = access_.Ask(ftp_failure::kSetDirectory,
                             [bytes](FtpSession& session) { return session.SetDirectory(bytes); });
        if (SUCCEEDED(hr)) hr = access_.Ask(ftp_failure::kRetrieveDirectory, ask);
        if (FAILED(hr)) return hr;
    }
    absolute = access_.Names().DecodeName(*directory);
    return S_OK;
}

void RemoteSide::Restore() {
    if (!started_) return;
    const std::string directory = *started_;
    Quietly([&] {
        access_.Ask(ftp_failure::kSetDirectory, [directory](FtpSession& session) {
            return session.SetDirectory(directory);
        });
    });
}

HRESULT RemoteSide::List(const std::wstring& folder, std::vector<ExchangeEntry>& entries) {
    entries.clear();
    std::string bytes;
    HRESULT hr = Bytes(folder, ftp_failure::kSetDirectory, bytes);
    if (SUCCEEDED(hr))
        hr = access_.Ask(ftp_failure::kSetDirectory, [bytes](FtpSession& session) { return session.SetDirectory(bytes); });
    std::vector<ListedEntry> listed;
    if (SUCCEEDED(hr)) hr = access_.ListEntries(listed);
    if (FAILED(hr)) return hr;
    const CodePageText names = access_.Names();
    for (const ListedEntry& record : listed) {
        ExchangeEntry entry;
        entry.name = names.DecodeName(record.name);
        if (entry.name.empty() || entry.name == L"." || entry.name == L"..") continue;
        entry.folder = (record.record.dwFileAttributes & kDirectoryAttribute) != 0;
        entry.sizeKnown = !entry.folder && !SizeUnknown(record.record);
        entry.size = (static_cast<unsigned long long>(record.record.nFileSizeHigh) << 32) | record.record.nFileSizeLow;
        const bool exact = (record.exactModified.dwLowDateTime | record.exactModified.dwHighDateTime) != 0;
        entry.modified = FileTimeSeconds(exact ? record.exactModified : record.record.ftLastWriteTime);
        entry.precision = ListedPrecision(record, entry.modified);
        entries.push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT RemoteSide::MakeFolder(const std::wstring& path) {
    std::string bytes;
    HRESULT hr = Bytes(path, ftp_failure::kCreateDirectory, bytes);
    if (FAILED(hr)) return hr;
    return access_.Ask(ftp_failure::kCreateDirectory, [bytes](FtpSession& session) { return session.CreateFolder(bytes); });
}

HRESULT RemoteSide::RemoveFile(const std::wstring& path) {
    std::string bytes;
    HRESULT hr = Bytes(path, ftp_failure::kDeleteFile, bytes);
    if (FAILED(hr)) return hr;
    return access_.Ask(ftp_failure::kDeleteFile, [bytes](FtpSession& session) { return session.Delete(bytes); });
}

HRESULT RemoteSide::RemoveFolder(const std::wstring& path) {
    std::string bytes;
    HRESULT hr = Bytes(path, ftp_failure::kRemoveDirectory, bytes);
    if (FAILED(hr)) return hr;
    return access_.Ask(ftp_failure::kRemoveDirectory, [bytes](FtpSession& session) { return session.RemoveFolder(bytes); });
}

HRESULT RemoteSide::FileSize(const std::wstring& path, unsigned long long& size) {
    std::string bytes;
    HRESULT hr = Bytes(path, ftp_failure::kFileSize, bytes);
    auto answer = std::make_shared<unsigned long long>(0);
    if (SUCCEEDED(hr))
        hr = access_.Ask(ftp_failure::kFileSize, [bytes, answer](FtpSession& session) {
            return session.FileSize(bytes, *answer);
        });
    if (SUCCEEDED(hr)) size = *answer;
    return hr;
}

HRESULT RemoteSide::ExactTime(const std::wstring& path, LONGLONG& modified) {
    std::string bytes;
    HRESULT hr = Bytes(path, ftp_failure::kFileTime, bytes);
    auto answer = std::make_shared<FILETIME>();
    if (SUCCEEDED(hr))
        hr = access_.Ask(ftp_failure::kFileTime, [bytes, answer](FtpSession& session) {
            return session.FileTime(bytes, *answer);
        });
    if (SUCCEEDED(hr)) modified = FileTimeSeconds(*answer);
    return hr;
}

HRESULT RemoteSide::SetTime(const std::wstring& path, LONGLONG modified) {
    std::string bytes;
    HRESULT hr = Bytes(path, ftp_failure::kFileTime, bytes);
    if (FAILED(hr)) return hr;
    const FILETIME time = SecondsFileTime(modified);
    // A server with no way to set a time keeps its own: no failure.
    return access_.Ask(ftp_failure::kFileTime, [bytes, time](FtpSession& session) {
        return session.SetFileTime(bytes, time) || GetLastError() == ERROR_NOT_SUPPORTED;
    });
}

HRESULT RemoteSide::Rename(const std::wstring& from, const std::wstring& to, bool replacing) {
    std::string source, target;
    HRESULT hr = Bytes(from, ftp_failure::kRenameFile, source);
    if (SUCCEEDED(hr)) hr = Bytes(to, ftp_failure::kRenameFile, target);
    if (FAILED(hr)) return hr;
    auto rename = [source, target](FtpSession& session) { return session.Rename(source, target); };
    hr = access_.Ask(ftp_failure::kRenameFile, rename);
    if (SUCCEEDED(hr) || !replacing) return hr;
    // A server that will not rename over an existing file: the old one goes
    // first, the new one is whole under its temporary name meanwhile.
    hr = access_.Ask(ftp_failure::kDeleteFile, [target](FtpSession& session) { return session.Delete(target); });
    if (SUCCEEDED(hr)) hr = access_.Ask(ftp_failure::kRenameFile, rename);
    return hr;
}

HRESULT RemoteSide::Upload(const std::wstring& local, const std::wstring& path, bool temporaryName, bool replacing) {
    if (!temporaryName && !replacing) return access_.Upload(local, path);
    const size_t slash = path.rfind(L'/');
    const size_t nameAt = slash == std::wstring::npos ? 0 : slash + 1;
    const std::wstring partial = path.substr(0, nameAt) + L"." + path.substr(nameAt) + kPartialUploadSuffix;
    const HRESULT hr = access_.Upload(local, partial);
    if (FAILED(hr)) {
        Quietly([&] { RemoveFile(partial); });
        return hr;
    }
    // A rename that fails leaves the whole file under its temporary name.
    return Rename(partial, path, replacing);
}

}  // namespace quorlin

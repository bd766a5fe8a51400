// The server as a side of a batch exchange, through the FTP object's open
// session. Paths are absolute texts; the working directory a listing needs
// is put back as it was by Restore.
#pragma once

#include "ExchangeSide.h"
#include "RemoteAccess.h"

#include <optional>

namespace quorlin {

class RemoteSide : public ExchangeSide {
public:
    explicit RemoteSide(RemoteAccess& access) : access_(access) {}

    // The absolute path of `folder` (relative to the working directory, or
    // absolute), which must exist.
    HRESULT Resolve(const std::wstring& folder, std::wstring& absolute);
    // Back to the working directory the first Resolve found.
    void Restore();
    // Uploads into `path` whole: under a temporary name when asked to or
    // when `replacing`, renamed to its own name once complete.
    HRESULT Upload(const std::wstring& local, const std::wstring& path, bool temporaryName, bool replacing);
    HRESULT Download(const std::wstring& path, const std::wstring& local, bool overwrite,
                     std::optional<unsigned long long> wholeSize) {
        return access_.Download(path, local, overwrite, wholeSize);
    }

    bool IgnoresCase() const override { return false; }
    std::wstring Join(const std::wstring& folder, const std::wstring& name) const override;
    HRESULT CheckName(const std::wstring& name) override;
    HRESULT List(const std::wstring& folder, std::vector<ExchangeEntry>& entries) override;
    HRESULT MakeFolder(const std::wstring& path) override;
    HRESULT RemoveFile(const std::wstring& path) override;
    HRESULT RemoveFolder(const std::wstring& path) override;
    HRESULT FileSize(const std::wstring& path, unsigned long long& size) override;
    HRESULT ExactTime(const std::wstring& path, LONGLONG& modified) override;
    HRESULT SetTime(const std::wstring& path, LONGLONG modified) override;

private:
    // The path's bytes in the names' code page; raises `failure` for a text
    // that cannot be one (a line break, a character the code page lacks).
    HRESULT Bytes(const std::wstring& path, const PlatformFailure& failure, std::string& bytes);
    HRESULT Rename(const std::wstring& from, const std::wstring& to, bool replacing);

    RemoteAccess& access_;
    std::optional<std::string> started_;  // the working directory before the first Resolve
};

}  // namespace quorlin

// The local file system as a side of a batch exchange. It refuses to write
// one file twice in a call under two names (letter case, short names), and
// to enter one folder twice (a link back up the tree).
#pragma once

#include "../ftp/LocalFolder.h"
#include "ExchangeSide.h"

#include <set>

namespace quorlin {

class LocalSide : public ExchangeSide {
public:
    bool IgnoresCase() const override { return true; }
    std::wstring Join(const std::wstring& folder, const std::wstring& name) const override;
    HRESULT CheckName(const std::wstring& name) override;
    HRESULT List(const std::wstring& folder, std::vector<ExchangeEntry>& entries) override;
    HRESULT MakeFolder(const std::wstring& path) override;
    HRESULT RemoveFile(const std::wstring& path) override;
    HRESULT RemoveFolder(const std::wstring& path) override;
    HRESULT FileSize(const std::wstring& path, unsigned long long& size) override;
    HRESULT ExactTime(const std::wstring& path, LONGLONG& modified) override;
    HRESULT SetTime(const std::wstring& path, LONGLONG modified) override;

    // False for a file this call wrote already under another name.
    bool WroteBefore(const std::wstring& path) const;
    void Wrote(const std::wstring& path);
    // False for a folder this call entered before.
    bool Enter(const std::wstring& folder);

private:
    std::set<EntryIdentity> written_;
    std::set<EntryIdentity> entered_;
};

}  // namespace quorlin

// One batch of PutFiles, GetFiles or Synchronize: the files a mask selects
// in a source folder (and below it, when recursing) sent to a target folder,
// with what the options ask around each transfer. Nothing is deleted at the
// source or the target unless every transfer before it arrived whole; the
// first failure ends the batch and raises the member's row with the file's
// path, how many files went before it, and what failed.
#pragma once

#include "../text/Error.h"
#include "FileMask.h"
#include "LocalSide.h"
#include "RemoteSide.h"

#include <string>
#include <vector>

namespace quorlin {

struct ExchangePlan {
    PlatformFailure failure;  // the member's row
    LONG options = 0;
    bool toRemote = true;
    // Only what is missing or changed goes, replacing what changed; with
    // DeleteExtra the target's files the source lacks are removed.
    bool synchronize = false;
    FileMask mask;
};

class FileExchange {
public:
    FileExchange(LocalSide& local, RemoteSide& remote, ExchangePlan plan);

    // `source` and `target` are whole paths of their sides; the target folder exists.
    HRESULT Run(const std::wstring& source, const std::wstring& target);
    // The source-relative paths of the files sent, in order.
    const std::vector<std::wstring>& Sent() const { return sent_; }

private:
    // A target folder made only once a file goes into it, after its parents.
    struct TargetFolder {
        std::wstring path;
        bool exists = false;
        TargetFolder* parent = nullptr;
    };

    ExchangeSide& Source() { return plan_.toRemote ? static_cast<ExchangeSide&>(local_) : remote_; }
    ExchangeSide& Target() { return plan_.toRemote ? static_cast<ExchangeSide&>(remote_) : local_; }
    bool Has(LONG option) const { return (plan_.options & option) != 0; }
    std::wstring Relative(const std::wstring& relative, const std::wstring& name) const;

    HRESULT Walk(const std::wstring& source, const std::vector<ExchangeEntry>& sourceEntries, TargetFolder& target,
                 const std::wstring& relative, int depth);
    HRESULT SendFile(const ExchangeEntry& file, const ExchangeEntry* existing, const std::wstring& sourcePath,
                     const std::wstring& targetPath);
    // Removes what the mask selects in a folder the source lacks, and the
    // folder once nothing else is left in it.
    HRESULT Prune(const std::wstring& folder, const std::wstring& relative, int depth, bool& removed);
    HRESULT MakeTarget(TargetFolder& folder);
    // Raises the member's row for `path` over the error a step raised.
    HRESULT Fail(const std::wstring& path, const std::wstring& why = std::wstring());
    HRESULT FailWith(DWORD code, const std::wstring& path);

    LocalSide& local_;
    RemoteSide& remote_;
    ExchangePlan plan_;
    std::vector<std::wstring> sent_;
};

}  // namespace quorlin

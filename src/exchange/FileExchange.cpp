#include "FileExchange.h"

#include "../platform/Constants.h"
#include "../text/Text.h"

#include <algorithm>
#include <map>

namespace quorlin {
namespace {

// The entries of one folder by name, in letter case or not as the side has it.
class EntryIndex {
public:
    EntryIndex(const std::vector<ExchangeEntry>& entries, bool ignoreCase) : ignoreCase_(ignoreCase) {
        for (const ExchangeEntry& entry : entries) byName_.emplace(Key(entry.name), &entry);
    }
    const ExchangeEntry* Find(const std::wstring& name) const {
        const auto found = byName_.find(Key(name));
        return found == byName_.end() ? nullptr : found->second;
    }

private:
    std::wstring Key(const std::wstring& name) const {
        std::wstring key = name;
        if (ignoreCase_ && !key.empty()) CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
        return key;
    }
    bool ignoreCase_;
    std::multimap<std::wstring, const ExchangeEntry*> byName_;
};

// A target that holds the source's size and a time no older than the
// source's, both as exactly as the coarser of the two is known: a time that
// cannot be told apart from the source's counts as no older.
bool Unchanged(const ExchangeEntry& source, const ExchangeEntry& target) {
    if (!source.sizeKnown || !target.sizeKnown || source.size != target.size) return false;
    if (source.modified == 0 || target.modified == 0) return false;
    const LONGLONG precision = std::max<LONGLONG>(1, std::max(source.precision, target.precision));
    return target.modified / precision >= source.modified / precision;
}

}  // namespace

FileExchange::FileExchange(LocalSide& local, RemoteSide& remote, ExchangePlan plan)
    : local_(local), remote_(remote), plan_(std::move(plan)) {}

std::wstring FileExchange::Relative(const std::wstring& relative, const std::wstring& name) const {
    if (relative.empty()) return name;
    return relative + (plan_.toRemote ? kLocalSeparator : kRemoteSeparator) + name;
}

HRESULT FileExchange::Fail(const std::wstring& path, const std::wstring& why) {
    std::wstring text = std::wstring(plan_.failure.message) + L" " + path + L" (" + std::to_wstring(sent_.size()) +
                        (sent_.size() == 1 ? L" file" : L" files") + L" sent before it): ";
    text += why.empty() ? RaisedDescription() : why;
    return RaiseError(plan_.failure.code, source::kFtp, text);
}

HRESULT FileExchange::FailWith(DWORD code, const std::wstring& path) {
    return Fail(path, BuildErrorText(code, plan_.failure.operation));
}

HRESULT FileExchange::Run(const std::wstring& source, const std::wstring& target) {
    std::vector<ExchangeEntry> entries;
    HRESULT hr = Source().List(source, entries);
    const bool deletes = plan_.synchronize && Has(kExchangeDeleteExtra);
    if (FAILED(hr)) {
        return deletes ? Fail(source, L"The source folder cannot be listed, so nothing on the target was deleted. " +
                                          RaisedDescription())
                       : Fail(source);
    }
    // An empty source is more often a wrong path or a passing failure than
    // the wish to empty the target.
    const bool holdsAny = std::any_of(entries.begin(), entries.end(), [&](const ExchangeEntry& entry) {
        return entry.folder ? Has(kExchangeRecurse) : plan_.mask.Selects(entry.name);
    });
    if (deletes && !holdsAny)
        return Fail(source, L"The source folder holds nothing the mask selects, so nothing on the target was deleted.");
    TargetFolder root{target, true, nullptr};
    return Walk(source, entries, root, std::wstring(), 0);
}

HRESULT FileExchange::MakeTarget(TargetFolder& folder) {
    if (folder.exists) return S_OK;
    if (folder.parent) {
        const HRESULT hr = MakeTarget(*folder.parent);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = Target().MakeFolder(folder.path);
    if (SUCCEEDED(hr)) folder.exists = true;
    return hr;
}

HRESULT FileExchange::Walk(const std::wstring& source, const std::vector<ExchangeEntry>& sourceEntries,
                           TargetFolder& target, const std::wstring& relative, int depth) {
    // A folder reached again through a link is left out, as the tree uploads do.
    if (plan_.toRemote && !local_.Enter(source)) return S_OK;
    std::vector<ExchangeEntry> targetEntries;
    if (target.exists) {
        const HRESULT hr = Target().List(target.path, targetEntries);
        if (FAILED(hr)) return Fail(relative.empty() ? target.path : relative);
    }
    const EntryIndex targetIndex(targetEntries, Target().IgnoresCase());

    for (const ExchangeEntry& file : sourceEntries) {
        if (file.folder || !plan_.mask.Selects(file.name)) continue;
        const std::wstring path = Relative(relative, file.name);
        HRESULT hr = Target().CheckName(file.name);
        if (FAILED(hr)) return Fail(path);
        const std::wstring sourcePath = Source().Join(source, file.name);
        const std::wstring targetPath = Target().Join(target.path, file.name);
        const ExchangeEntry* existing = targetIndex.Find(file.name);
        // A name that lands on a file this batch wrote (a twin in letter
        // case, a short name) or on a folder is never written over.
        if ((existing && existing->folder) || (!plan_.toRemote && local_.WroteBefore(targetPath)))
            return FailWith(ERROR_FILE_EXISTS, path);
        if (existing) {
            if ((plan_.synchronize || Has(kExchangeOnlyChanged)) && Unchanged(file, *existing)) continue;
            if (!plan_.synchronize && !Has(kExchangeOverwrite)) return FailWith(ERROR_FILE_EXISTS, path);
        }
        hr = MakeTarget(target);
        if (SUCCEEDED(hr)) hr = SendFile(file, existing, sourcePath, targetPath);
        if (FAILED(hr)) return Fail(path);
        sent_.push_back(path);
    }

    if (Has(kExchangeRecurse)) {
        for (const ExchangeEntry& folder : sourceEntries) {
            if (!folder.folder) continue;
            const std::wstring path = Relative(relative, folder.name);
            // A remote link back into the tree would be entered without end.
            if (depth >= kDeepestTree) return FailWith(ERROR_CANT_RESOLVE_FILENAME, path);
            HRESULT hr = Target().CheckName(folder.name);
            if (FAILED(hr)) return Fail(path);
            const ExchangeEntry* existing = targetIndex.Find(folder.name);
            if (existing && !existing->folder) return FailWith(ERROR_FILE_EXISTS, path);
            const std::wstring childSource = Source().Join(source, folder.name);
            std::vector<ExchangeEntry> childEntries;
            hr = Source().List(childSource, childEntries);
            if (FAILED(hr)) return Fail(path);
            TargetFolder child{Target().Join(target.path, folder.name), existing != nullptr, &target};
            hr = Walk(childSource, childEntries, child, path, depth + 1);
            if (FAILED(hr)) return hr;
        }
    }

    if (!plan_.synchronize || !Has(kExchangeDeleteExtra) || !target.exists) return S_OK;
    // Every transfer of the batch so far arrived whole: what the source lacks goes.
    const EntryIndex sourceIndex(sourceEntries, true);
    for (const ExchangeEntry& extra : targetEntries) {
        if (sourceIndex.Find(extra.name)) continue;
        const std::wstring path = Relative(relative, extra.name);
        const std::wstring targetPath = Target().Join(target.path, extra.name);
        if (extra.folder && Has(kExchangeRecurse)) {
            bool removed = false;
            const HRESULT hr = Prune(targetPath, path, depth + 1, removed);
            if (FAILED(hr)) return hr;
        } else if (!extra.folder && plan_.mask.Selects(extra.name)) {
            if (FAILED(Target().RemoveFile(targetPath))) return Fail(path);
        }
    }
    return S_OK;
}

HRESULT FileExchange::Prune(const std::wstring& folder, const std::wstring& relative, int depth, bool& removed) {
    removed = false;
    if (depth > kDeepestTree) return FailWith(ERROR_CANT_RESOLVE_FILENAME, relative);
    std::vector<ExchangeEntry> entries;
    HRESULT hr = Target().List(folder, entries);
    if (FAILED(hr)) return Fail(relative);
    // A folder that keeps what the mask leaves out stays, and so do its parents.
    bool emptied = true;
    for (const ExchangeEntry& entry : entries) {
        const std::wstring path = Target().Join(folder, entry.name);
        if (entry.folder) {
            bool childRemoved = false;
            hr = Prune(path, Relative(relative, entry.name), depth + 1, childRemoved);
            if (FAILED(hr)) return hr;
            emptied = emptied && childRemoved;
        } else if (plan_.mask.Selects(entry.name)) {
            if (FAILED(Target().RemoveFile(path))) return Fail(Relative(relative, entry.name));
        } else {
            emptied = false;
        }
    }
    if (!emptied) return S_OK;
    if (FAILED(Target().RemoveFolder(folder))) return Fail(relative);
    removed = true;
    return S_OK;
}

HRESULT FileExchange::SendFile(const ExchangeEntry& file, const ExchangeEntry* existing,
                               const std::wstring& sourcePath, const std::wstring& targetPath) {
    HRESULT hr = plan_.toRemote
                     ? remote_.Upload(sourcePath, targetPath, Has(kExchangeTemporaryName), existing != nullptr)
                     : remote_.Download(sourcePath, targetPath, existing != nullptr,
                                        file.sizeKnown ? std::optional(file.size) : std::nullopt);
    if (FAILED(hr)) return hr;
    if (!plan_.toRemote) local_.Wrote(targetPath);
    // A copy that is to stand for a deleted file must be seen whole.
    if (Has(kExchangeMove) || (plan_.synchronize && Has(kExchangeDeleteExtra))) {
        unsigned long long expected = file.size, arrived = 0;
        if (!file.sizeKnown) hr = Source().FileSize(sourcePath, expected);
        if (SUCCEEDED(hr)) hr = Target().FileSize(targetPath, arrived);
        if (FAILED(hr)) return hr;
        if (arrived != expected)
            return RaiseError(E_FAIL, source::kFtp,
                              L"The copy holds " + std::to_wstring(arrived) + L" bytes, the source " +
                                  std::to_wstring(expected) + L"; the source was left as it is.");
    }
    if (Has(kExchangeKeepTime) && file.modified != 0) {
        LONGLONG modified = file.modified;
        // A listing that gave the minute or the day: the server tells the second.
        if (file.precision > 1 && FAILED(Source().ExactTime(sourcePath, modified))) modified = file.modified;
        hr = Target().SetTime(targetPath, modified);
        if (FAILED(hr)) return hr;
    }
    return Has(kExchangeMove) ? Source().RemoveFile(sourcePath) : S_OK;
}

}  // namespace quorlin

#include "DirectoryListing.h"

#include "../text/Error.h"
#include "../platform/Constants.h"
#include "FtpFailures.h"

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorlin {
namespace {

// Which of the listing's failures happened, with its code and error text,
// both read on the thread whose platform call failed.
struct ListingOutcome {
    enum Step { kNone, kFirst, kNext, kClose } failed = kNone;
    DWORD code = 0;
    std::wstring errorText;

    void Fail(Step step, DWORD error) {
        failed = step;
        code = error;
        errorText = BuildErrorText(error, operation::kGetDirectoryListing);
    }
};

// "(2)" carries the failing code and a zero between parentheses.
std::wstring NextEntryMessage(DWORD code) {
    return message::kListingNextPrefix + std::to_wstring(code) + L")(0)";
}

// Reads the listing, handing each entry to `add`; stops early once `keepOn`
// says so, and fails beyond kMostListedEntries.
void ReadListing(FtpSession& session, const std::function<void(const ListedEntry&)>& add,
                 const std::function<bool()>& keepOn, bool timed, ListingOutcome& outcome) {
    ListedEntry entry;
    std::unique_ptr<RemoteListing> find = session.List(entry);
    DWORD error = GetLastError();
    // With a limit set, a listing that the platform's own per-line limit cut
    // short is reported as the time-out it was, never as a whole listing.
    if (find && timed && error == ERROR_INTERNET_TIMEOUT) return outcome.Fail(ListingOutcome::kNext, error);
    // The platform reads the final reply inside the first find call and
    // delivers what did arrive as if the listing were whole: a reply that says
    // it did not complete (426 after a dropped data connection) is an error.
    if ((find || error == kNoMoreEntries || error == ERROR_SUCCESS) && LastReplyIsFailure())
        return outcome.Fail(ListingOutcome::kNext, kExtendedError);
    if (!find) {
        // An empty directory ends the listing at once. Some platforms report it
        // with no error code at all rather than with the end-of-listing code.
        if (error != kNoMoreEntries && error != ERROR_SUCCESS) outcome.Fail(ListingOutcome::kFirst, error);
        return;
    }
    for (size_t count = 1;; ++count) {
        if (count > kMostListedEntries) {
            KeepFailureDetail(kTooManyEntries);
            return outcome.Fail(ListingOutcome::kNext, ERROR_NOT_ENOUGH_MEMORY);
        }
        add(entry);
        std::memset(entry.record.cFileName, 0, sizeof entry.record.cFileName);
        if (!keepOn()) return;
        if (!find->Next(entry)) {
            error = GetLastError();
            if (error != kNoMoreEntries) return outcome.Fail(ListingOutcome::kNext, error);
            break;
        }
    }
    if (!find->Close()) outcome.Fail(ListingOutcome::kClose, GetLastError());
}

// A file whose listed size may stand for a larger one.
bool SizeClamped(const WIN32_FIND_DATAA& record) {
    return !(record.dwFileAttributes & kDirectoryAttribute) && record.nFileSizeHigh == 0 &&
           record.nFileSizeLow == kClampedListingSize;
}

// The real sizes of the entries whose listed size may be clamped, one for
// each in their order (none where the server does not tell), asked once the
// listing is closed.
std::vector<std::optional<unsigned long long>> AskClampedSizes(FtpSession& session,
                                                               const std::vector<ListedEntry>& entries,
                                                               const std::function<bool()>& keepOn) {
    std::vector<std::optional<unsigned long long>> sizes;
    for (const ListedEntry& entry : entries) {
        if (!SizeClamped(entry.record)) continue;
        unsigned long long size = 0;
        sizes.push_back(keepOn() && session.FileSize(entry.name, size) ? std::optional(size) : std::nullopt);
    }
    ForgetServerReply();
    return sizes;
}

HRESULT RaiseOutcome(const ListingOutcome& outcome) {
    std::wstring message;
    switch (outcome.failed) {
    case ListingOutcome::kNone: return S_OK;
    case ListingOutcome::kFirst: message = message::kListingFirst; break;
    case ListingOutcome::kNext: message = NextEntryMessage(outcome.code); break;
    case ListingOutcome::kClose: message = message::kListingClose; break;
    }
    return RaiseError(ftp_error::kDirectoryListing, source::kFtp, message + outcome.errorText);
}

// The listing read on the worker, into records of its own.
class ListingJob : public TimedJob {
public:
    explicit ListingJob(std::shared_ptr<FtpSession> session) : session_(std::move(session)) {}
    void Run() override {
        ReadListing(*session_, [this](const ListedEntry& entry) { entries.push_back(entry); },
                    [this] { return !Abandoned(); }, true, outcome);
        if (outcome.failed == ListingOutcome::kNone)
            clampedSizes = AskClampedSizes(*session_, entries, [this] { return !Abandoned(); });
        finished = true;
    }

    std::vector<ListedEntry> entries;
    std::vector<std::optional<unsigned long long>> clampedSizes;
    ListingOutcome outcome;
    bool finished = false;

private:
    std::shared_ptr<FtpSession> session_;
};

}  // namespace

HRESULT ListDirectory(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session,
                      ComPtr<FileCollection>& collection) {
    collection.Reset();
    ComPtr<FileCollection> filled = TakeNew<FileCollection>(new WithBoundary<FileCollection>());
    ListingOutcome outcome;
    // The entries whose listed size may be clamped, in their order, and the records they came from.
    std::vector<ComPtr<FileEntry>> clampedEntries;
    std::vector<ListedEntry> clampedRecords;
    auto add = [&](const ListedEntry& listed) {
        _FTPFile* entry = nullptr;
        filled->Add(listed, names, SizeClamped(listed.record) ? &entry : nullptr);
        if (!entry) return;
        clampedEntries.push_back(TakeNew<FileEntry>(static_cast<FileEntry*>(entry)));
        clampedRecords.push_back(listed);
    };
    std::vector<std::optional<unsigned long long>> clampedSizes;
    if (!limit.Active()) {
        ReadListing(*session, add, [] { return true; }, false, outcome);
        if (outcome.failed == ListingOutcome::kNone)
            clampedSizes = AskClampedSizes(*session, clampedRecords, [] { return true; });
    } else {
        auto job = std::make_shared<ListingJob>(session);
        if (!limit.Run(job)) return limit.RaiseTimeout(source::kFtp, ftp_failure::kListing);
        if (!job->finished) return RaiseError(E_OUTOFMEMORY, source::kFtp, message::kOutOfMemory);
        for (const ListedEntry& entry : job->entries) add(entry);
        clampedSizes = job->clampedSizes;
        outcome = job->outcome;
        if (outcome.code == ERROR_INTERNET_TIMEOUT) limit.MarkExpired(job);
    }
    // A clamped size the server would not tell is not known: -1, never the clamp.
    for (size_t i = 0; i < clampedSizes.size() && i < clampedEntries.size(); ++i)
        clampedEntries[i]->SetSize(clampedSizes[i] ? static_cast<double>(*clampedSizes[i]) : kUnknownSizeValue);
    HRESULT hr = RaiseOutcome(outcome);
    if (FAILED(hr)) return hr;
    collection = filled;
    return S_OK;
}

HRESULT ListDirectoryEntries(TimeLimit& limit, const std::shared_ptr<FtpSession>& session,
                             std::vector<ListedEntry>& entries) {
    entries.clear();
    auto job = std::make_shared<ListingJob>(session);
    if (!limit.Active()) {
        job->Run();
    } else if (!limit.Run(job)) {
        return limit.RaiseTimeout(source::kFtp, ftp_failure::kListing);
    }
    if (!job->finished) return RaiseError(E_OUTOFMEMORY, source::kFtp, message::kOutOfMemory);
    if (job->outcome.code == ERROR_INTERNET_TIMEOUT) limit.MarkExpired(job);
    const HRESULT hr = RaiseOutcome(job->outcome);
    if (FAILED(hr)) return hr;
    entries = std::move(job->entries);
    size_t clamped = 0;
    for (ListedEntry& entry : entries) {
        if (!SizeClamped(entry.record) || clamped >= job->clampedSizes.size()) continue;
        const std::optional<unsigned long long>& size = job->clampedSizes[clamped++];
        if (!size) {
            MarkSizeUnknown(entry.record);
            continue;
        }
        entry.record.nFileSizeHigh = static_cast<DWORD>(*size >> 32);
        entry.record.nFileSizeLow = static_cast<DWORD>(*size & 0xFFFFFFFFu);
    }
    return S_OK;
}

}  // namespace quorlin

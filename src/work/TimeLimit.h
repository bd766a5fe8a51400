// An object's time limit for the waits on its server: 0 makes every
// platform call directly, as always; a number of seconds makes each on the
// object's worker thread, and the call ends as timed out once that many
// seconds pass with nothing moving.
#pragma once

#include "../text/Error.h"
#include "PlatformWorker.h"

#include <functional>
#include <memory>
#include <string>

namespace quorlin {

// One platform call and its outcome, the error text made on the thread that
// made the call (the last error and the server's last response are kept per
// thread). The call owns what it touches: it may run on after its caller.
class PlatformCallJob : public TimedJob {
public:
    // `call` is handed the job, to see whether it was abandoned; `progress`,
    // when given, counts what has moved, and `grace` says how long it may
    // stay still beyond the limit.
    PlatformCallJob(std::function<bool(const TimedJob&)> call, const wchar_t* operation,
                    std::function<unsigned long long()> progress = nullptr,
                    std::function<unsigned long long()> grace = nullptr)
        : call_(std::move(call)), progress_(std::move(progress)), grace_(std::move(grace)), operation_(operation) {}
    void Run() override;
    // What the call captured (a handle it made among it) goes with it.
    void ReleaseOwn() override { call_ = nullptr; }
    unsigned long long Progress() const override { return progress_ ? progress_() : 0; }
    unsigned long long GraceMilliseconds() const override { return grace_ ? grace_() : 0; }

    bool succeeded = false;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    std::wstring errorText;

private:
    std::function<bool(const TimedJob&)> call_;
    std::function<unsigned long long()> progress_;
    std::function<unsigned long long()> grace_;
    const wchar_t* operation_;
};

class TimeLimit {
public:
    LONG Seconds() const { return seconds_; }
    bool Active() const { return seconds_ > 0; }
    // 0 to 86,400; anything else raises the invalid-procedure-call error 5
    // with `source`, and the old value stays.
    HRESULT Set(LONG seconds, const wchar_t* source);

    // Runs `job` within the limit; false when it timed out.
    bool Run(const std::shared_ptr<TimedJob>& job);

    // CallPlatform within the limit: `call` runs on the worker when the limit
    // is active, so it must own what it touches (capture by value).
    HRESULT CallPlatform(const wchar_t* source, const PlatformFailure& failure, std::function<bool()> call);
    // The same for a job of the caller's making, which then holds the outcome;
    // without a limit it runs here.
    HRESULT CallPlatform(const wchar_t* source, const PlatformFailure& failure,
                         const std::shared_ptr<PlatformCallJob>& job);

    // Raises `failure` with the time-out's error text, made here.
    HRESULT RaiseTimeout(const wchar_t* source, const PlatformFailure& failure);

    // Whether a call since the last look ran out of time (ours or the
    // platform's own limit), and forgets it: the owner then lets go of its
    // handles through LetGo.
    void MarkExpired(const std::shared_ptr<TimedJob>& job) {
        expired_ = true;
        expiredJob_ = job;
    }
    bool TakeExpired() {
        const bool expired = expired_;
        expired_ = false;
        return expired;
    }
    // Hands `handles` to the call that ran out of time, which closes them
    // when it ends (at once, on a thread of its own, when it already has).
    void LetGo(std::vector<HINTERNET> handles);

private:
    LONG seconds_ = 0;
    bool expired_ = false;
    std::shared_ptr<TimedJob> expiredJob_;
    std::unique_ptr<PlatformWorker> worker_;
};

}  // namespace quorlin

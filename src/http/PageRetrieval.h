// The network part of one GetString within a time limit: the request sent,
// its status read and its body gathered, on the object's worker thread. The
// job owns its body; a job that runs on after its time-out makes no further
// platform call once it sees it was abandoned.
#pragma once

#include "../work/PlatformWorker.h"
#include "../platform/Constants.h"
#include "PageBody.h"

#include <atomic>
#include <string>

namespace quorlin {

class PageRetrieval : public TimedJob {
public:
    enum Stage { kSend, kStatus, kBody };

    PageRetrieval(HINTERNET request, LONG seconds) : request_(request), seconds_(seconds) {}
    void Run() override;
    unsigned long long Progress() const override { return moved_.load(); }
    // A read of the body waits until its whole piece has come, however
    // slowly the server sends it; what bounds it is the platform's receive
    // time-out (the limit and a second), which ends the wait on a silent server.
    unsigned long long GraceMilliseconds() const override {
        return stage_.load() == kBody ? kUnwatchedMilliseconds : 0;
    }

    // Where the retrieval is, or where it failed.
    Stage At() const { return stage_.load(); }
    bool succeeded = false;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    std::wstring errorText;  // made on the worker, for a failure that was no time-out
    bool timedOut = false;   // the platform's own time-out ended the wait
    std::atomic<DWORD> status{0};  // read by the caller after a time-out too
    PageBody body;

private:
    bool Failed(DWORD code, ULONGLONG started);

    HINTERNET request_;
    LONG seconds_;
    std::atomic<Stage> stage_{kSend};
    std::atomic<unsigned long long> moved_{0};
};

}  // namespace quorlin

// A thread of its own for the blocking platform calls of one object, so that
// the object can stop waiting for a call that does not end. A job that runs
// on after its caller stopped waiting owns everything it touches; the thread
// keeps the library loaded until the job and the thread have ended.
#pragma once

#include "../platform/WinInetAPI.h"
#include "../text/CodePageText.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace quorlin {

// One piece of blocking work, with everything it reads and writes.
class TimedJob {
public:
    virtual ~TimedJob() = default;
    // Runs on the worker thread.
    virtual void Run() = 0;
    // Lets go of what the job itself holds (its handles among it), before
    // the adopted handles are closed. What Progress reads must stay.
    virtual void ReleaseOwn() {}
    // A count that grows while data moves; the caller's clock restarts each time it does.
    virtual unsigned long long Progress() const { return 0; }
    // Milliseconds the job may now stay still beyond the limit (an upload's
    // last bytes draining from the connection, which nothing can watch).
    virtual unsigned long long GraceMilliseconds() const { return 0; }
    // Set when the caller stopped waiting: the job makes no further platform
    // call (a handle it was given may have gone to someone else).
    bool Abandoned() const { return abandoned_.load(); }
    void Abandon() { abandoned_ = true; }

    // Takes the handles that the caller lets go of after it stopped waiting:
    // they are closed, in this order, when the job has ended, never while its
    // platform call may still use them (the platform frees what a handle
    // holds when it is closed under a running call).
    void Adopt(std::vector<HINTERNET> handles);
    // Called by the worker once Run returned: the job's own handles go
    // first, then the adopted ones (a parent's close frees its children,
    // whose values the platform may then hand out again).
    void End();
    // The code page of the server's replies where the job was made: the
    // worker reads them in it too.
    UINT ReplyCodePage() const { return replyCodePage_; }

private:
    std::atomic<bool> abandoned_{false};
    const UINT replyCodePage_ = ReplyTextScope::Current();
    std::mutex lock_;
    bool ended_ = false;
    std::vector<HINTERNET> adopted_;
};

class PlatformWorker {
public:
    // A new worker thread, or null when none can be started.
    static std::unique_ptr<PlatformWorker> Start();
    PlatformWorker(const PlatformWorker&) = delete;
    PlatformWorker& operator=(const PlatformWorker&) = delete;
    // An idle thread ends at once; a busy one when its job ends.
    ~PlatformWorker();

    // Runs `job` on the thread and waits until it ends (true) or until
    // `seconds` pass in which its progress did not move (false: the job is
    // abandoned and this worker takes no further job).
    bool Run(const std::shared_ptr<TimedJob>& job, LONG seconds);
    // Hands `job` to the thread without waiting for it; returns how many
    // jobs this worker has been handed, this one included.
    unsigned long long Hand(const std::shared_ptr<TimedJob>& job);
    // Runs `job` on a thread of its own that ends with it; here when no
    // thread can be had.
    static void RunDetached(const std::shared_ptr<TimedJob>& job);
    // Closes `handles`, in this order, on a thread of its own: a close may wait on the server.
    static void CloseDetached(std::vector<HINTERNET> handles);

    struct Shared;

private:
    explicit PlatformWorker(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    std::shared_ptr<Shared> shared_;
};

}  // namespace quorlin

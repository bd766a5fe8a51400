#include "PlatformWorker.h"

#include "../com/Boundary.h"
#include "../com/Module.h"


namespace quorlin {

// What the object and its thread share; it goes when both have let go. A
// slim lock and condition variables rather than events: handing a job over
// and back then costs no round trip to the system's object server.
struct PlatformWorker::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE handedOver = CONDITION_VARIABLE_INIT;  // a job, or stop
    CONDITION_VARIABLE jobEnded = CONDITION_VARIABLE_INIT;
    std::shared_ptr<TimedJob> job;  // the job handed over and not yet taken
    unsigned long long handed = 0;  // jobs handed over so far
    unsigned long long ended = 0;   // jobs run to their end so far
    bool stop = false;
};

namespace {

// Closes handles, on a thread of its own: a close may wait on the server.
class HandleCloser : public TimedJob {
public:
    explicit HandleCloser(std::vector<HINTERNET> handles) : handles_(std::move(handles)) {}
    void Run() override {
        for (HINTERNET handle : handles_)
            if (handle) InternetCloseHandle(handle);
    }

private:
    std::vector<HINTERNET> handles_;
};

// How often the caller looks at a job's progress while it waits.
constexpr DWORD kProgressLookMilliseconds = 100;

DWORD WINAPI WorkerLoop(void* parameter) {
    std::shared_ptr<PlatformWorker::Shared>* handed = static_cast<std::shared_ptr<PlatformWorker::Shared>*>(parameter);
    std::shared_ptr<PlatformWorker::Shared> shared = std::move(*handed);
    delete handed;
    for (;;) {
        std::shared_ptr<TimedJob> job;
        bool stop = false;
        AcquireSRWLockExclusive(&shared->lock);
        while (!shared->job && !shared->stop) SleepConditionVariableSRW(&shared->handedOver, &shared->lock, INFINITE, 0);
        job = std::move(shared->job);
        stop = shared->stop;
        ReleaseSRWLockExclusive(&shared->lock);
        if (job) {
            // Nothing a job throws may end the thread: its results stay at
            // their defaults, which say it failed.
            Guarded(nullptr, nullptr, [&] {
                const ReplyTextScope replies(job->ReplyCodePage());
                job->Run();
                return S_OK;
            });
            job->End();
            job.reset();  // what the job owns goes now, on this thread
            AcquireSRWLockExclusive(&shared->lock);
            ++shared->ended;
            stop = shared->stop;
            ReleaseSRWLockExclusive(&shared->lock);
            WakeAllConditionVariable(&shared->jobEnded);
        }
        if (stop) break;
    }
    shared.reset();
    module::RemoveObject();
    // The thread's own reference on the library goes with the thread, after
    // its last instruction in the library has run.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&WorkerLoop), &self);
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

void TimedJob::Adopt(std::vector<HINTERNET> handles) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!ended_) {
            adopted_.insert(adopted_.end(), handles.begin(), handles.end());
            return;
        }
    }
    PlatformWorker::CloseDetached(std::move(handles));
}

void PlatformWorker::CloseDetached(std::vector<HINTERNET> handles) {
    RunDetached(std::make_shared<HandleCloser>(std::move(handles)));
}

void TimedJob::End() {
    ReleaseOwn();
    std::vector<HINTERNET> closing;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ended_ = true;
        closing.swap(adopted_);
    }
    for (HINTERNET handle : closing)
        if (handle) InternetCloseHandle(handle);
}

void PlatformWorker::RunDetached(const std::shared_ptr<TimedJob>& job) {
    std::unique_ptr<PlatformWorker> worker = Start();
    if (worker) {
        worker->Hand(job);
    } else {
        job->Run();
        job->End();
    }
}

std::unique_ptr<PlatformWorker> PlatformWorker::Start() {
    auto shared = std::make_shared<Shared>();
    HMODULE self = nullptr;  // a reference the thread gives back when it ends
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerLoop), &self))
        return nullptr;
    auto* handed = new std::shared_ptr<Shared>(shared);
    module::AddObject();
    HANDLE thread = CreateThread(nullptr, 0, &WorkerLoop, handed, 0, nullptr);
    if (!thread) {
        delete handed;
        module::RemoveObject();
        FreeLibrary(self);
        return nullptr;
    }
    CloseHandle(thread);
    return std::unique_ptr<PlatformWorker>(new PlatformWorker(std::move(shared)));
}

PlatformWorker::~PlatformWorker() {
    AcquireSRWLockExclusive(&shared_->lock);
    shared_->stop = true;
    ReleaseSRWLockExclusive(&shared_->lock);
    WakeAllConditionVariable(&shared_->handedOver);
}

unsigned long long PlatformWorker::Hand(const std::shared_ptr<TimedJob>& job) {
    AcquireSRWLockExclusive(&shared_->lock);
    shared_->job = job;
    const unsigned long long ticket = ++shared_->handed;
    ReleaseSRWLockExclusive(&shared_->lock);
    WakeAllConditionVariable(&shared_->handedOver);
    return ticket;
}

bool PlatformWorker::Run(const std::shared_ptr<TimedJob>& job, LONG seconds) {
    const unsigned long long ticket = Hand(job);
    const ULONGLONG limit = static_cast<ULONGLONG>(seconds) * 1000;
    ULONGLONG lastMove = GetTickCount64();
    unsigned long long progress = job->Progress();
    AcquireSRWLockExclusive(&shared_->lock);
    while (shared_->ended < ticket) {
        SleepConditionVariableSRW(&shared_->jobEnded, &shared_->lock, kProgressLookMilliseconds, 0);
        if (shared_->ended >= ticket) break;
        const ULONGLONG now = GetTickCount64();
        const unsigned long long moved = job->Progress();
        if (moved != progress) {
            progress = moved;
            lastMove = now;
        } else if (now - lastMove >= limit + job->GraceMilliseconds()) {
            ReleaseSRWLockExclusive(&shared_->lock);
            job->Abandon();
            return false;
        }
    }
    ReleaseSRWLockExclusive(&shared_->lock);
    return true;
}

}  // namespace quorlin

#include "PlatformWorker.h"

#include "Boundary.h"
#include "Module.h"


namespace quorlin {

// What the object and its thread share; it goes when both have let go.
struct PlatformWorker::Shared {
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::mutex lock;
    std::shared_ptr<TimedJob> job;  // the job handed over and not yet taken
    bool stop = false;
    ~Shared() {
        if (wake) CloseHandle(wake);
        if (done) CloseHandle(done);
    }
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
        WaitForSingleObject(shared->wake, INFINITE);
        std::shared_ptr<TimedJob> job;
        bool stop = false;
        {
            std::lock_guard<std::mutex> guard(shared->lock);
            job = std::move(shared->job);
            stop = shared->stop;
        }
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
            SetEvent(shared->done);
            std::lock_guard<std::mutex> guard(shared->lock);
            stop = shared->stop;
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
    if (!shared->wake || !shared->done) return nullptr;
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
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->stop = true;
    }
    SetEvent(shared_->wake);
}

void PlatformWorker::Hand(const std::shared_ptr<TimedJob>& job) {
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->job = job;
    }
    ResetEvent(shared_->done);
    SetEvent(shared_->wake);
}

bool PlatformWorker::Run(const std::shared_ptr<TimedJob>& job, LONG seconds) {
    Hand(job);
    const ULONGLONG limit = static_cast<ULONGLONG>(seconds) * 1000;
    ULONGLONG lastMove = GetTickCount64();
    unsigned long long progress = job->Progress();
    for (;;) {
        if (WaitForSingleObject(shared_->done, kProgressLookMilliseconds) == WAIT_OBJECT_0) return true;
        const ULONGLONG now = GetTickCount64();
        const unsigned long long moved = job->Progress();
        if (moved != progress) {
            progress = moved;
            lastMove = now;
        } else if (now - lastMove >= limit) {
            job->Abandon();
            return false;
        }
    }
}

}  // namespace quorlin

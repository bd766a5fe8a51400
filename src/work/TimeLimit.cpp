#include "TimeLimit.h"

#include "../platform/Constants.h"

namespace quorlin {

void PlatformCallJob::Run() {
    succeeded = call_(*this);
    error = GetLastError();
    if (!succeeded) errorText = BuildErrorText(error, operation_);
}

HRESULT TimeLimit::Set(LONG seconds, const wchar_t* source) {
    if (seconds < 0 || seconds > kLongestTimeout)
        return RaiseError(runtime_error::kInvalidProcedureCall, source, message::kInvalidProcedureCall);
    seconds_ = seconds;
    return S_OK;
}

bool TimeLimit::Run(const std::shared_ptr<TimedJob>& job) {
    if (!worker_) worker_ = PlatformWorker::Start();
    if (!worker_) {
        // No thread to be had: the call is made here, without a limit.
        job->Run();
        return true;
    }
    if (worker_->Run(job, seconds_)) return true;
    // The thread stays with the job it could not finish; the next call gets a new one.
    worker_.reset();
    MarkExpired(job);
    return false;
}

HRESULT TimeLimit::CallPlatform(const wchar_t* source, const PlatformFailure& failure, std::function<bool()> call) {
    if (!Active()) return quorlin::CallPlatform(source, failure, call);
    return CallPlatform(source, failure,
                        std::make_shared<PlatformCallJob>([call](const TimedJob&) { return call(); }, failure.operation));
}

void TimeLimit::LetGo(std::vector<HINTERNET> handles) {
    if (expiredJob_) expiredJob_->Adopt(std::move(handles));
    else PlatformWorker::CloseDetached(std::move(handles));
    expiredJob_.reset();
}

HRESULT TimeLimit::CallPlatform(const wchar_t* source, const PlatformFailure& failure,
                                const std::shared_ptr<PlatformCallJob>& job) {
    if (!Active()) job->Run();
    else if (!Run(job)) return RaiseTimeout(source, failure);
    if (job->succeeded) return S_OK;
    if (Active() && job->error == ERROR_INTERNET_TIMEOUT) MarkExpired(job);
    return RaiseError(failure.code, source, failure.message + job->errorText);
}

HRESULT TimeLimit::RaiseTimeout(const wchar_t* source, const PlatformFailure& failure) {
    return RaisePlatformError(failure.code, source, failure.message, ERROR_INTERNET_TIMEOUT, failure.operation);
}

}  // namespace quorlin

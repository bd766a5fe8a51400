#include "PageRetrieval.h"

#include "../text/Error.h"
#include "../platform/Constants.h"

namespace quorlin {

// A failure that came after the whole limit is the platform's own time-out:
// headers that never came (12030) or a body that stalled (10060).
bool PageRetrieval::Failed(DWORD code, ULONGLONG started) {
    error = code;
    const bool late = GetTickCount64() - started + kPlatformTimeoutSlackMs >= static_cast<ULONGLONG>(seconds_) * 1000;
    timedOut = late && (code == ERROR_INTERNET_CONNECTION_ABORTED || code == kSocketTimedOut ||
                        code == ERROR_INTERNET_TIMEOUT);
    if (!timedOut) errorText = BuildErrorText(code, operation::kGetString);
    return false;
}

void PageRetrieval::Run() {
    ULONGLONG started = GetTickCount64();
    if (!HttpSendRequestA(request_, nullptr, 0, nullptr, 0)) return void(Failed(GetLastError(), started));
    stage_ = kStatus;
    DWORD code = 0, size = sizeof code, index = 0;
    if (!HttpQueryInfoA(request_, kStatusCodeAsNumber, &code, &size, &index)) return void(Failed(GetLastError(), started));
    status = code;
    stage_ = kBody;
    if (!body.Prepare(request_)) return void(Failed(GetLastError(), started));
    for (bool finished = false; !finished;) {
        if (Abandoned()) return;
        started = GetTickCount64();
        if (!body.ReadPiece(request_, finished)) return void(Failed(GetLastError(), started));
        moved_ = body.Received();
    }
    // A body cut short by a dropped connection ends with a successful empty
    // read all the same: it is a failed read, not the page.
    if (body.ShorterThanAnnounced()) {
        error = ERROR_INTERNET_CONNECTION_ABORTED;
        errorText = BuildErrorText(error, operation::kGetString);
        return;
    }
    succeeded = true;
}

}  // namespace quorlin

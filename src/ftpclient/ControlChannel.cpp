#include "ControlChannel.h"

#include "../platform/Constants.h"

#include <algorithm>
#include <string_view>

namespace quorlin {
namespace {

bool IsReplyCode(const std::string& line) {
    return line.size() >= 3 && std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }) &&
           (line.size() == 3 || line[3] == ' ' || line[3] == '-');
}

DWORD Remaining(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

}  // namespace

bool ControlChannel::Send(const std::string& line, DWORD milliseconds) {
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (Logging(log_)) log_->Write(LogMark::kSent, line.compare(0, 5, "PASS ") == 0 ? std::string("PASS ****") : line);
    const std::string sent = line + "\r\n";
    return stream_->Send(sent.data(), sent.size(), milliseconds);
}

bool ControlChannel::ReadLine(std::string& line, ULONGLONG deadline) {
    for (;;) {
        const size_t end = buffer_.find('\n', start_);
        if (end != std::string::npos) {
            line.assign(buffer_, start_, end - start_);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            start_ = end + 1;
            if (start_ == buffer_.size()) {
                buffer_.clear();
                start_ = 0;
            }
            return true;
        }
        if (buffer_.size() - start_ > kLongestReplyBytes) {
            line.assign(buffer_, start_, kLongestReplyBytes);
            SetLastError(kExtendedError);
            return false;
        }
        char piece[4096];
        size_t received = 0;
        const DWORD left = Remaining(deadline);
        if (left == 0) {
            SetLastError(ERROR_INTERNET_TIMEOUT);
            return false;
        }
        if (!stream_->Receive(piece, sizeof piece, received, left)) return false;
        if (received == 0) {
            SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
            return false;
        }
        buffer_.append(piece, received);
    }
}

bool ControlChannel::ReadReplyLine(std::string& line, ULONGLONG deadline) {
    line.clear();
    const bool read = ReadLine(line, deadline);
    if (Logging(log_)) {
        if (read) log_->Write(LogMark::kReceived, line);
        else if (!line.empty()) log_->Write(LogMark::kReceived, line + " (no whole line)");
    }
    return read;
}

bool ControlChannel::Receive(FtpReply& reply, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    std::string line;
    reply = FtpReply();
    if (!ReadReplyLine(line, deadline)) {
        reply.text = line;
        return false;
    }
    if (!IsReplyCode(line)) {
        reply.text = line;
        SetLastError(kExtendedError);
        return false;
    }
    const std::string code = line.substr(0, 3);
    // A multi-line reply ends with a line that starts with its code and a
    // blank. Its lines are kept; each counts with its line end, so that
    // empty ones cannot pile up without bound either.
    if (line.size() > 3 && line[3] == '-') {
        for (size_t total = line.size() + 1;; total += line.size() + 1) {
            if (total > kLongestReplyBytes) {
                reply.text = line.substr(0, kLongestReplyBytes);
                reply.lines.clear();
                SetLastError(kExtendedError);
                return false;
            }
            reply.lines.push_back(line);
            if (!ReadReplyLine(line, deadline)) {
                reply.text = line;
                return false;
            }
            if (line == code || line.compare(0, 4, code + " ") == 0) break;
        }
    }
    reply.code = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    reply.text = line;
    return true;
}

}  // namespace quorlin

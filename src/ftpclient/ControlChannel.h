// The control connection of the component's own FTP client: command lines
// out, whole replies in, over a plain or a TLS stream.
#pragma once

#include "../transport/Stream.h"
#include "../log/SessionLog.h"

#include <memory>
#include <string>
#include <vector>

namespace quorlin {

struct FtpReply {
    int code = 0;
    std::string text;  // the reply's last line, without its line end
    // The lines of a multi-line reply before its last, without line ends.
    std::vector<std::string> lines;
    // A preliminary reply came before this final one where the command has
    // none: the exchange is out of order, a failure whatever the code says.
    bool outOfTurn = false;
    bool Preliminary() const { return code >= 100 && code < 200; }
    bool Failed() const { return code >= 400 || outOfTurn; }
};

class ControlChannel {
public:
    void Attach(std::unique_ptr<Stream> stream) { stream_ = std::move(stream); }
    // Hands the stream over (to be wrapped in TLS), and forgets whatever
    // arrived after the last reply read.
    std::unique_ptr<Stream> Detach() {
        buffer_.clear();
        start_ = 0;
        return std::move(stream_);
    }
    // Whether bytes arrived behind the last reply read: before a switch to
    // TLS they would be taken as protected replies, so the switch must fail.
    bool HasUnread() const { return start_ < buffer_.size(); }
    bool Attached() const { return stream_ != nullptr; }
    // Every line sent and received goes to `log` too (a password masked).
    void Log(std::shared_ptr<SessionLog> log) { log_ = std::move(log); }

    // Sends `line` with its line end. A line that holds a line end of its
    // own would smuggle in a second command, and one with a NUL would reach
    // the server cut short: either fails with the platform's code for an
    // invalid parameter, before anything is sent.
    bool Send(const std::string& line, DWORD milliseconds);
    // Reads one whole reply (every line of a multi-line one) within
    // `milliseconds` in all. A reply that is not one, or is longer than any
    // server sends, fails with the extended error and what arrived of it.
    bool Receive(FtpReply& reply, DWORD milliseconds);

private:
    bool ReadLine(std::string& line, ULONGLONG deadline);
    bool ReadReplyLine(std::string& line, ULONGLONG deadline);

    std::unique_ptr<Stream> stream_;
    std::shared_ptr<SessionLog> log_;
    std::string buffer_;
    size_t start_ = 0;
};

}  // namespace quorlin

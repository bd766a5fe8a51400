// A connection that moves bytes both ways, every wait on it bounded: a plain
// TCP connection or a TLS stream over one. Failures set the thread's last
// error to the code the platform's own FTP calls give for the same case.
#pragma once

// Winsock first: it must come before <windows.h> for the sockets beneath.
#include <winsock2.h>
#include <windows.h>
#include <atomic>
#include <cstddef>

namespace quorlin {

class Stream {
public:
    virtual ~Stream() = default;
    // Sends all of `data`, each wait at most `milliseconds`.
    virtual bool Send(const char* data, size_t size, DWORD milliseconds) = 0;
    // Waits at most `milliseconds` for data and takes what is there, up to
    // `size` bytes; `received` 0 means the peer ended the data.
    virtual bool Receive(char* data, size_t size, size_t& received, DWORD milliseconds) = 0;
    // Adds every byte the connection takes from now on to `*sent`, as it is
    // taken (a caller watching a long send sees it move); null stops it.
    virtual void CountSent(std::atomic<unsigned long long>* sent) = 0;
};

}  // namespace quorlin

#pragma once

#include "tests/reliability/ProcessCounts.h"
#include "tests/reliability/ScaledClock.h"
#include "tests/server/ServerFixture.h"

#include <sys/socket.h>

#include <optional>
#include <string>

namespace brightowl::test {

// The whole server on loopback (ServerFixture) with a clock that runs kFactor times faster and
// really waits for readability, so that silent clients cost no CPU while they hold their slots.
class ReliabilityFixture : public ServerFixture
{
protected:
    static constexpr int64_t kFactor = 20;
    // The no-progress time-out and the thread-end polling interval, in the server's milliseconds.
    static constexpr int64_t kTimeOutMs = 6000;
    static constexpr int64_t kPollMs = 200;

    Clock& ServerClock() override { return Scaled(); }
    virtual ScaledClock& Scaled() { return clock_; }

    // A connection that the listener has taken over (the connection count has grown by one). The
    // listener's backlog is 5: connecting many at once would leave some waiting for the kernel's
    // SYN retry, a second later.
    Socket ConnectAccepted()
    {
        const int32_t before = server_->GetConnectionCount();
        Socket client = ConnectLoopback(port_);
        WaitForConnections(before + 1);
        return client;
    }

    // Real milliseconds for that many of the server's.
    int64_t RealMs(int64_t serverMs) { return serverMs / Scaled().Factor(); }

    ScaledClock clock_{kFactor};
};

// Everything the peer sends until it closes; none when it has not closed within timeoutMs.
inline std::optional<std::string> ReadToClose(Socket& socket, int timeoutMs)
{
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string bytes;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::recv(socket.Fd(), buffer, sizeof buffer, 0);
        if (n == 0)
            return bytes;
        if (n < 0)
            return errno == ECONNRESET ? std::optional<std::string>(bytes) : std::nullopt;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

// Closes with a reset (SO_LINGER zero): the peer's next send fails at once.
inline void ResetAndClose(Socket& socket)
{
    linger hard{1, 0};
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket.Close();
}

} // namespace brightowl::test

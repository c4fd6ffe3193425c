#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace brightowl {

// What a non-blocking socket call did.
enum class IoStatus
{
    Done,        // count bytes moved (at least 1), or the listener produced a connection
    WouldBlock,  // nothing can be done now (EAGAIN / EWOULDBLOCK)
    Closed,      // the peer has closed (recv returned 0)
    Failed       // any other error
};

struct IoResult
{
    IoStatus status = IoStatus::Failed;
    size_t count = 0;
};

// Owns one IPv4 TCP socket descriptor and closes it when destroyed; non-blocking throughout.
// Used by one thread at a time (the thread that owns the connection).
class Socket
{
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsValid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Close();

    // A non-blocking TCP socket bound to every local interface at port (0: the system picks one),
    // with SO_REUSEADDR so that a restart is not refused by connections still in TIME_WAIT.
    // Invalid when the socket cannot be made or bound (for example, the port is taken).
    static Socket CreateListener(uint32_t port);
    bool Listen(int backlog);
    // The local port the socket is bound to; 0 when it cannot be read.
    uint32_t LocalPort() const;
    // A waiting connection, already non-blocking (Linux's accept does not pass the mode on).
    // WouldBlock also covers the transient failures Linux reports from accept (a connection that
    // was reset while queued, a signal, a full descriptor table): the caller simply tries again.
    IoResult Accept(Socket& connection);

    // Makes sure the connection is non-blocking; false when it cannot be.
    bool MakeNonBlocking();

    // Never raises SIGPIPE. more: further bytes follow at once (MSG_MORE), so the kernel need
    // not push out a partial segment.
    IoResult Send(const void* data, size_t length, bool more = false);
    IoResult Receive(void* buffer, size_t length);
    // The number of bytes waiting to be read (FIONREAD), none on failure.
    std::optional<int32_t> BytesWaiting() const;
    // The peer's IPv4 address in dotted form, none when it cannot be read.
    std::optional<std::string> PeerAddress() const;

    bool SetSendBufferSize(int bytes);
    bool SetNoDelay(bool on);
    // The send buffer's size as the kernel reports it (twice what was set, on Linux).
    int SendBufferSize() const;

    // Ends the connection gracefully: no more sends (FIN), and the bytes the peer has already sent
    // are read and dropped, so that the close does not turn into a reset that could make the peer
    // lose the end of the answer.
    void ShutdownAndDrain();

private:
    int fd_ = -1;
};

} // namespace brightowl

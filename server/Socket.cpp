#include "server/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <utility>

namespace brightowl {

namespace {

bool IsWouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

// accept() reports these for a connection that failed while it waited in the queue, or for a
// passing shortage; retrying later is what Linux's accept(2) asks of the caller.
bool IsTransientAcceptError(int error)
{
    switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
        return true;
    default:
        return false;
    }
}

IoResult FromCount(ssize_t result)
{
    if (result > 0)
        return {IoStatus::Done, static_cast<size_t>(result)};
    if (result == 0)
        return {IoStatus::Closed, 0};
    return {IsWouldBlock(errno) ? IoStatus::WouldBlock : IoStatus::Failed, 0};
}

} // namespace

Socket::~Socket()
{
    Close();
}

Socket::Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void Socket::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

Socket Socket::CreateListener(uint32_t port)
{
    Socket listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener.IsValid() || port > 65535)
        return {};
    int on = 1;
    if (::setsockopt(listener.fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(listener.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return {};
    return listener;
}

bool Socket::Listen(int backlog)
{
    return ::listen(fd_, backlog) == 0;
}

uint32_t Socket::LocalPort() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

IoResult Socket::Accept(Socket& connection)
{
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
        connection = Socket(fd);
        return {IoStatus::Done, 0};
    }
    if (IsWouldBlock(errno) || IsTransientAcceptError(errno))
        return {IoStatus::WouldBlock, 0};
    return {IoStatus::Failed, 0};
}

bool Socket::MakeNonBlocking()
{
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0)
        return false;
    return (flags & O_NONBLOCK) != 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) == 0;
}

IoResult Socket::Send(const void* data, size_t length, bool more)
{
    int flags = MSG_NOSIGNAL | (more ? MSG_MORE : 0);
    ssize_t result;
    do {
        result = ::send(fd_, data, length, flags);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return {IoStatus::Failed, 0};
    return FromCount(result);
}

IoResult Socket::Receive(void* buffer, size_t length)
{
    ssize_t result;
    do {
        result = ::recv(fd_, buffer, length, 0);
    } while (result < 0 && errno == EINTR);
    return FromCount(result);
}

std::optional<int32_t> Socket::BytesWaiting() const
{
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0)
        return std::nullopt;
    return count;
}

std::optional<std::string> Socket::PeerAddress() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET)
        return std::nullopt;
    std::array<char, INET_ADDRSTRLEN> text{};
    if (::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) == nullptr)
        return std::nullopt;
    return std::string(text.data());
}

bool Socket::SetSendBufferSize(int bytes)
{
    return ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool Socket::SetNoDelay(bool on)
{
    int value = on ? 1 : 0;
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0;
}

int Socket::SendBufferSize() const
{
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, &length) != 0)
        return 0;
    return bytes;
}

void Socket::ShutdownAndDrain()
{
    if (fd_ < 0)
        return;
    ::shutdown(fd_, SHUT_WR);
    std::array<char, 4096> scratch{};
    for (int round = 0; round < 64; ++round) {
        if (Receive(scratch.data(), scratch.size()).status != IoStatus::Done)
            break;
    }
}

} // namespace brightowl

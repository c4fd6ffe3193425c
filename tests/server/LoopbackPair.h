#pragma once

#include "server/Socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace brightowl::test {

// A client socket connected to 127.0.0.1 at port (blocking, for the test's side); invalid on failure.
inline Socket ConnectLoopback(uint32_t port)
{
    Socket client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(client.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return {};
    return client;
}

// A TCP connection over loopback: the server's end non-blocking as the server keeps it, the
// client's end blocking for the test.
struct LoopbackPair
{
    Socket server;
    Socket client;

    static LoopbackPair Make()
    {
        LoopbackPair pair;
        Socket listener = Socket::CreateListener(0);
        EXPECT_TRUE(listener.IsValid() && listener.Listen(1));
        pair.client = ConnectLoopback(listener.LocalPort());
        EXPECT_TRUE(pair.client.IsValid());
        for (int i = 0; i < 1000 && !pair.server.IsValid(); ++i) {
            if (listener.Accept(pair.server).status != IoStatus::Done)
                ::usleep(1000);
        }
        EXPECT_TRUE(pair.server.IsValid());
        return pair;
    }
};

inline void WriteAll(Socket& socket, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(socket.Fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

// Everything the peer sends until it closes (blocking reads, bounded by the receive time-out).
inline std::string ReadUntilClosed(Socket& socket, int timeoutMs = 20000)
{
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string bytes;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::recv(socket.Fd(), buffer, sizeof buffer, 0);
        if (n <= 0)
            return bytes;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

// Exactly count bytes, or fewer when the peer closes first or nothing comes within the time-out.
inline std::string ReadExactly(Socket& socket, size_t count, int timeoutMs = 20000)
{
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string bytes(count, '\0');
    size_t got = 0;
    while (got < count) {
        ssize_t n = ::recv(socket.Fd(), bytes.data() + got, count - got, 0);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

// What has arrived so far, without waiting.
inline std::string ReadAvailable(Socket& socket)
{
    std::string bytes;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::recv(socket.Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            return bytes;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

} // namespace brightowl::test

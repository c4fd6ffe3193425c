// The ceiling for the camera stream: one sender and one receiver over a loopback TCP connection,
// 64 KiB writes as fast as they go for S seconds. Prints the bytes a second the receiver got.
//
//   tcp_throughput [--seconds S]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    double seconds = 3;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        return 1;
    }
    std::atomic<bool> quit{false};
    std::thread sender([&] {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        std::vector<char> chunk(64 * 1024, 'x');
        while (!quit && ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
        }
        ::close(fd);
    });
    int fd = ::accept(listener, nullptr, nullptr);
    std::vector<char> buffer(256 * 1024);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    unsigned long long bytes = 0;
    while (Clock::now() < end) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        bytes += static_cast<unsigned long long>(n);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    quit = true;
    ::shutdown(fd, SHUT_RDWR);
    sender.join();
    ::close(fd);
    ::close(listener);
    std::printf("gbytes_s %.3f seconds %.2f\n", static_cast<double>(bytes) / wall / 1e9, wall);
    return 0;
}

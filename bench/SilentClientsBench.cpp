// CPU that silent clients cost the server: N connections that send nothing hold the server's
// slots until the request time-out ends them. Prints the process's CPU time over the wait as a
// share of one core.
//
//   silent_clients_bench [--clients N] [--seconds S]
#include "bench/HeadlessServices.h"
#include "capture/CaptureDevice.h"
#include "server/Prompt.h"
#include "server/ServerController.h"
#include "tests/support/FakeCaptureWindow.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace brightowl::bench {
namespace {

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int Connect(uint32_t port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int Run(int clients, double seconds)
{
    test::FakeCaptureWindowFactory factory;
    CaptureDevice device(factory);
    if (device.CreateCaptureWindow(nullptr, 0, 35) != 0)
        return 1;
    bench::PrintingPrompt prompt;
    ServerController server(0, static_cast<uint32_t>(clients), 0, "/video", device, prompt);
    if (server.StartServer() != 0)
        return 1;
    uint32_t port = 0;
    for (int i = 0; i < 2000 && port == 0; ++i) {
        port = server.GetListeningPort();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Five at a time, the listener's backlog, each group until the listener has taken it.
    std::vector<int> silent;
    const auto connectStart = std::chrono::steady_clock::now();
    while (static_cast<int>(silent.size()) < clients) {
        for (int i = 0; i < 5 && static_cast<int>(silent.size()) < clients; ++i)
            silent.push_back(Connect(port));
        for (int wait = 0; wait < 2000 && server.GetConnectionCount() < static_cast<int>(silent.size()); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The measurement ends before the first silent client reaches its six-second time-out.
    const double connecting = std::chrono::duration<double>(std::chrono::steady_clock::now() - connectStart).count();
    seconds = std::min(seconds, 5.5 - connecting);
    const double cpuStart = CpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = CpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("silent clients %d  connected %d  wall %.2f s  cpu %.2f s  = %.0f %% of one core\n", clients,
                server.GetConnectionCount(), wall, cpu, 100.0 * cpu / wall);
    for (int fd : silent)
        ::close(fd);
    server.StopServer();
    return 0;
}

} // namespace
} // namespace brightowl::bench

int main(int argc, char* argv[])
{
    int clients = 5;
    double seconds = 3.0; // at most until the first client's time-out
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--clients") == 0)
            clients = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
    }
    return brightowl::bench::Run(clients, seconds);
}

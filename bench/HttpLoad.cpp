// Load for static files: C clients on 127.0.0.1, each sending one HTTP/1.0 GET per connection and
// reading the answer until the server closes, again and again for S seconds. Prints the answers
// per second, their latency percentiles (connect to close) and the failures.
//
//   http_load --port P --path /file [--clients 8] [--seconds 10] [--expect BYTES]
//
// An answer counts when it starts with "HTTP/1.0 200" or "HTTP/1.1 200" and, with --expect, carries
// that many body bytes after its header.
#include "bench/BenchUtil.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options
{
    uint16_t port = 0;
    std::string path = "/";
    int clients = 8;
    double seconds = 10;
    long long expect = -1;
};

struct Tally
{
    std::vector<double> latenciesMs;
    long long failures = 0;
    long long bytes = 0;
};

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One request on a new connection; true for a complete 200 answer.
std::atomic<long long> connectFailures{0};

bool Fetch(const Options& options, const std::string& request, std::vector<char>& buffer, long long& bytes)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(options.port);
    // Long enough for a connection that waits in the listen queue, so that a failure is the server's.
    timeval timeout{15, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ++connectFailures;
        ::close(fd);
        return false;
    }
    bool ok = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    size_t filled = 0;
    long long total = 0;
    long long headerEnd = -1;
    bool statusOk = false;
    while (ok) {
        // Until the header is complete the answer gathers at the front; the body then only counts.
        const size_t at = headerEnd < 0 ? filled : 0;
        const ssize_t n = ::recv(fd, buffer.data() + at, buffer.size() - at, 0);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        total += n;
        if (headerEnd < 0) {
            filled += static_cast<size_t>(n);
            const char* end = std::search(buffer.data(), buffer.data() + filled, "\r\n\r\n", "\r\n\r\n" + 4);
            if (end != buffer.data() + filled) {
                headerEnd = end - buffer.data() + 4;
                statusOk = std::strncmp(buffer.data(), "HTTP/1.0 200", 12) == 0 ||
                           std::strncmp(buffer.data(), "HTTP/1.1 200", 12) == 0;
            } else if (filled == buffer.size()) {
                ok = false;
            }
        }
    }
    ok = ok && statusOk;
    if (ok && options.expect >= 0)
        ok = total - headerEnd == options.expect;
    ::close(fd);
    bytes += total;
    return ok;
}

void Client(const Options& options, double end, Tally& tally)
{
    const std::string request = "GET " + options.path + " HTTP/1.0\r\n\r\n";
    std::vector<char> buffer(64 * 1024);
    while (Now() < end) {
        const double start = Now();
        if (Fetch(options, request, buffer, tally.bytes))
            tally.latenciesMs.push_back((Now() - start) * 1000);
        else
            ++tally.failures;
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--port")
            options.port = static_cast<uint16_t>(std::atoi(argv[i + 1]));
        else if (arg == "--path")
            options.path = argv[i + 1];
        else if (arg == "--clients")
            options.clients = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--seconds")
            options.seconds = std::atof(argv[i + 1]);
        else if (arg == "--expect")
            options.expect = std::atoll(argv[i + 1]);
    }
    const double start = Now();
    const double end = start + options.seconds;
    std::vector<Tally> tallies(static_cast<size_t>(options.clients));
    std::vector<std::thread> threads;
    for (Tally& tally : tallies)
        threads.emplace_back([&options, end, &tally] { Client(options, end, tally); });
    for (std::thread& thread : threads)
        thread.join();
    const double wall = Now() - start;
    Tally all;
    for (const Tally& tally : tallies) {
        all.latenciesMs.insert(all.latenciesMs.end(), tally.latenciesMs.begin(), tally.latenciesMs.end());
        all.failures += tally.failures;
        all.bytes += tally.bytes;
    }
    std::sort(all.latenciesMs.begin(), all.latenciesMs.end());
    std::printf("connect_failures %lld ", connectFailures.load());
    std::printf("requests %zu failures %lld seconds %.2f rps %.1f p50_ms %.3f p99_ms %.3f max_ms %.3f mbytes %.1f\n",
                all.latenciesMs.size(), all.failures, wall, static_cast<double>(all.latenciesMs.size()) / wall,
                brightowl::bench::Percentile(all.latenciesMs, 0.5), brightowl::bench::Percentile(all.latenciesMs, 0.99),
                all.latenciesMs.empty() ? 0 : all.latenciesMs.back(), static_cast<double>(all.bytes) / 1e6);
    return 0;
}

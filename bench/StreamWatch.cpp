// Viewers of a multipart JPEG stream on 127.0.0.1, for any server: N connections read the stream
// as fast as they can and tell the pictures apart by their bytes. Prints per viewer and second the
// pictures and the new pictures (ones that differ from the picture before on the same connection),
// the stream's bytes a second, how long after its first delivery a new picture reached the other
// viewers (fan-out lag), and, with --pid, the server process's CPU time per delivered picture.
//
//   stream_watch --port P [--path /video] [--clients N] [--seconds S] [--warmup S] [--pid PID]
#include "bench/BenchUtil.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options
{
    uint16_t port = 0;
    std::string path = "/video";
    int clients = 1;
    double seconds = 5;
    double warmup = 1;
    long pid = 0;
};

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

uint64_t Hash(const uint8_t* data, size_t size)
{
    uint64_t hash = 0xcbf29ce484222325ull ^ size;
    for (size_t i = 0; i < size; i += 7)
        hash = (hash ^ data[i]) * 0x100000001B3ull;
    for (size_t i = size > 256 ? size - 256 : 0; i < size; ++i)
        hash = (hash ^ data[i]) * 0x100000001B3ull;
    return hash;
}

// When each new picture first reached any viewer and when it reached each further one.
class Deliveries
{
public:
    void Note(uint64_t hash, double at)
    {
        std::lock_guard lock(mutex_);
        auto [entry, inserted] = first_.emplace(hash, at);
        if (!inserted)
            lags_.push_back(at - entry->second);
    }
    std::vector<double> Lags() const
    {
        std::lock_guard lock(mutex_);
        return lags_;
    }

private:
    mutable std::mutex mutex_;
    std::map<uint64_t, double> first_; // guarded by mutex_
    std::vector<double> lags_;          // guarded by mutex_
};

class Viewer
{
public:
    void Run(const Options& options, double from, double to, Deliveries& deliveries)
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(options.port);
        timeval timeout{0, 200000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        const std::string request = "GET " + options.path + " HTTP/1.0\r\n\r\n";
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        buffer_.resize(4 << 20);
        while (Now() < to) {
            if (buffer_.size() - filled_ < (1u << 20)) {
                std::memmove(buffer_.data(), buffer_.data() + parsed_, filled_ - parsed_);
                filled_ -= parsed_;
                parsed_ = 0;
                if (buffer_.size() - filled_ < (1u << 20))
                    buffer_.resize(buffer_.size() * 2);
            }
            const ssize_t n = ::recv(fd, buffer_.data() + filled_, buffer_.size() - filled_, 0);
            if (n == 0)
                break;
            if (n < 0)
                continue;
            const double at = Now();
            if (at >= from)
                bytes += static_cast<uint64_t>(n);
            filled_ += static_cast<size_t>(n);
            Parse(at >= from, at, deliveries);
        }
        ::close(fd);
    }

    uint64_t bytes = 0;
    uint64_t pictures = 0;
    uint64_t newPictures = 0;

private:
    // Parts: header lines up to an empty line with a Content-Length field (any letter case), then
    // that many picture bytes; delimiter lines and line ends between parts are skipped over.
    void Parse(bool counting, double at, Deliveries& deliveries)
    {
        for (;;) {
            const uint8_t* base = buffer_.data();
            if (wanted_ < 0) {
                static const char kEnd[] = "\r\n\r\n";
                const uint8_t* stop = std::search(base + parsed_, base + filled_, kEnd, kEnd + 4);
                if (stop == base + filled_)
                    return;
                std::string header(base + parsed_, stop);
                for (char& c : header)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                parsed_ = static_cast<size_t>(stop - base) + 4;
                const size_t field = header.find("content-length:");
                if (field != std::string::npos)
                    wanted_ = std::atol(header.c_str() + field + 15);
            } else {
                if (filled_ - parsed_ < static_cast<size_t>(wanted_))
                    return;
                const uint64_t hash = Hash(base + parsed_, static_cast<size_t>(wanted_));
                if (counting) {
                    ++pictures;
                    if (hash != last_) {
                        ++newPictures;
                        deliveries.Note(hash, at);
                    }
                }
                last_ = hash;
                parsed_ += static_cast<size_t>(wanted_);
                wanted_ = -1;
            }
        }
    }

    std::vector<uint8_t> buffer_;
    size_t filled_ = 0;
    size_t parsed_ = 0;
    long wanted_ = -1;
    uint64_t last_ = 0;
};

// utime + stime of a process, in seconds; 0 when it cannot be read.
double ProcessCpuSeconds(long pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::vector<std::string> f;
    for (std::string word; fields >> word;)
        f.push_back(word);
    if (f.size() < 13)
        return 0;
    return (std::stod(f[11]) + std::stod(f[12])) / static_cast<double>(::sysconf(_SC_CLK_TCK));
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
        else if (arg == "--warmup")
            options.warmup = std::atof(argv[i + 1]);
        else if (arg == "--pid")
            options.pid = std::atol(argv[i + 1]);
    }
    const double from = Now() + options.warmup;
    const double to = from + options.seconds;
    Deliveries deliveries;
    std::vector<Viewer> viewers(static_cast<size_t>(options.clients));
    std::vector<std::thread> threads;
    for (Viewer& viewer : viewers)
        threads.emplace_back([&, viewer = &viewer] { viewer->Run(options, from, to, deliveries); });
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(from))));
    const double cpu0 = options.pid > 0 ? ProcessCpuSeconds(options.pid) : 0;
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(to))));
    const double cpu = options.pid > 0 ? ProcessCpuSeconds(options.pid) - cpu0 : 0;
    for (std::thread& thread : threads)
        thread.join();
    uint64_t bytes = 0, pictures = 0, newPictures = 0;
    int connected = 0;
    for (const Viewer& viewer : viewers) {
        bytes += viewer.bytes;
        pictures += viewer.pictures;
        newPictures += viewer.newPictures;
        connected += viewer.pictures > 0 ? 1 : 0;
    }
    const double perClient = options.seconds * options.clients;
    const std::vector<double> lags = deliveries.Lags();
    std::printf("clients %d served %d pictures_per_client_s %.2f new_per_client_s %.2f mbytes_s %.2f "
                "lag_p50_ms %.1f lag_p99_ms %.1f cpu_s %.3f cpu_ms_per_picture %.3f cpu_ms_per_new %.3f\n",
                options.clients, connected, static_cast<double>(pictures) / perClient,
                static_cast<double>(newPictures) / perClient, static_cast<double>(bytes) / options.seconds / 1e6,
                brightowl::bench::Percentile(lags, 0.5) * 1000, brightowl::bench::Percentile(lags, 0.99) * 1000, cpu,
                pictures > 0 ? cpu * 1000 / static_cast<double>(pictures) : 0,
                newPictures > 0 ? cpu * 1000 / static_cast<double>(newPictures) : 0);
    return 0;
}

// Camera stream fan-out and slow-viewer benchmark: the real server, capture device and test pattern
// (640 x 480, 30 frames a second), with viewers on loopback that parse every part.
//
//   stream_bench [--clients N] [--seconds S] [--rate BYTES_PER_SECOND] [--rcvbuf BYTES]
//                [--sndbuf BYTES (-1: fits the part, 0: kernel autotuning)] [--nodelay] [--coalesce] [--quality Q] [--viewer-nice N]
//
// --rate makes every viewer read at most that many bytes a second (a slow link); --rcvbuf sets the
// viewers' receive buffer (a slow link holds little in the receiver, so the queue is the server's).
#include "bench/BenchUtil.h"
#include "bench/HeadlessServices.h"
#include "capture/CaptureDevice.h"
#include "capture/CaptureWindow.h"
#include "capture/DriverDialogs.h"
#include "capture/TestPatternDriver.h"
#include "capture/WindowlessCaptureWindowFactory.h"
#include "server/Prompt.h"
#include "server/ServerController.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/resource.h>
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
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace brightowl::bench {
namespace {

int64_t NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Tells pictures apart cheaply: the length, every 61st byte and the last 512 bytes (the test
// pattern's counter and clock change the entropy-coded data from their rows to the end).
uint64_t Hash(const uint8_t* data, size_t size)
{
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ size;
    auto mix = [&hash](uint8_t byte) { hash = (hash ^ byte) * 0x100000001B3ull; };
    for (size_t i = 0; i < size; i += 61)
        mix(data[i]);
    for (size_t i = size > 512 ? size - 512 : 0; i < size; ++i)
        mix(data[i]);
    return hash;
}

// When each picture was in the slot: the test pattern's sink returns once the frame is encoded.
class EncodeLog
{
public:
    void Record(uint64_t hash, int64_t us)
    {
        std::lock_guard lock(mutex_);
        encodedAt_.emplace(hash, us);
        order_.push_back({us, hash});
    }
    std::map<uint64_t, int64_t> EncodedAt() const
    {
        std::lock_guard lock(mutex_);
        return encodedAt_;
    }
    size_t CountBetween(int64_t from, int64_t to) const
    {
        std::lock_guard lock(mutex_);
        return static_cast<size_t>(std::count_if(order_.begin(), order_.end(), [&](const auto& entry) {
            return entry.first >= from && entry.first < to;
        }));
    }

private:
    mutable std::mutex mutex_;
    std::map<uint64_t, int64_t> encodedAt_;             // guarded by mutex_
    std::vector<std::pair<int64_t, uint64_t>> order_;   // guarded by mutex_
};

// The test pattern, with the moment each frame's JPEG is in the slot noted.
class TimingDriver : public TestPatternDriver
{
public:
    TimingDriver(EncodeLog& log, CaptureDevice*& device) : log_(log), device_(device) {}

    bool Start(FrameSink sink) override
    {
        return TestPatternDriver::Start([this, sink = std::move(sink)](const FrameHeader& frame) {
            sink(frame);
            Note();
        });
    }

private:
    void Note()
    {
        CaptureDevice* device = device_;
        if (device == nullptr)
            return;
        const int32_t length = device->LockFrame();
        if (length < 1) {
            device->CopyFrameAndUnlock(nullptr);
            return;
        }
        picture_.resize(static_cast<size_t>(length));
        device->CopyFrameAndUnlock(picture_.data());
        log_.Record(Hash(picture_.data(), picture_.size()), NowUs());
    }

    EncodeLog& log_;
    CaptureDevice*& device_;
    std::vector<uint8_t> picture_;
};

class OneDriverCatalog : public DriverCatalog
{
public:
    OneDriverCatalog(EncodeLog& log, CaptureDevice*& device) : log_(log), device_(device) {}
    bool Describe(int index, std::string& name, std::string& version) const override
    {
        if (index != 0)
            return false;
        name = TestPatternDriver::DriverName();
        version = TestPatternDriver::DriverVersion();
        return true;
    }
    std::unique_ptr<CaptureDriver> Create(int index) const override
    {
        return index == 0 ? std::make_unique<TimingDriver>(log_, device_) : nullptr;
    }

private:
    EncodeLog& log_;
    CaptureDevice*& device_;
};

using WindowFactory = WindowlessCaptureWindowFactory;

struct Options
{
    int clients = 1;
    int seconds = 10;
    int64_t rate = 0;  // bytes a second a viewer reads; 0: as fast as it can
    int rcvbuf = 0;
    StreamTuning tuning;
    int32_t quality = 35;
    int viewerNice = 19;
};

struct Arrival
{
    uint64_t hash;
    int64_t us;
};

// One viewer: reads the stream (paced when a rate is given) and notes every picture that arrives.
class Viewer
{
public:
    Viewer(uint32_t port, const Options& options) : port_(port), options_(options) {}

    void Run(const std::atomic<bool>& quit)
    {
        // By default viewers compete with the server threads as equals.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), options_.viewerNice);
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (options_.rcvbuf > 0)
            ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options_.rcvbuf, sizeof options_.rcvbuf);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port_));
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        const char request[] = "GET /video HTTP/1.0\r\n\r\n";
        ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
        timeval timeout{0, 100000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::vector<uint8_t> buffer(8 << 20);
        size_t filled = 0;
        size_t parsed = 0;
        const int64_t start = NowUs();
        while (!quit) {
            if (buffer.size() - filled < (1u << 20)) {
                // Keep what is not parsed yet at the front.
                std::memmove(buffer.data(), buffer.data() + parsed, filled - parsed);
                filled -= parsed;
                parsed = 0;
                if (buffer.size() - filled < (1u << 20))
                    buffer.resize(buffer.size() * 2);
            }
            size_t want = buffer.size() - filled;
            if (options_.rate > 0) {
                const int64_t allowed = (NowUs() - start) * options_.rate / 1000000 - static_cast<int64_t>(bytes_);
                if (allowed <= 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    continue;
                }
                want = std::min(want, static_cast<size_t>(allowed));
            }
            ssize_t n = ::recv(fd, buffer.data() + filled, want, 0);
            if (n == 0)
                break;
            if (n < 0)
                continue;
            bytes_ += static_cast<uint64_t>(n);
            filled += static_cast<size_t>(n);
            Parse(buffer.data(), filled, parsed);
        }
        ::close(fd);
    }

    const std::vector<Arrival>& Arrivals() const { return arrivals_; }
    uint64_t PictureBytes() const { return pictureBytes_; }

private:
    // Parts: header lines up to the empty line, Content-Length picture bytes, then the line end
    // and the delimiter line (which also precede the first part).
    void Parse(const uint8_t* buffer, size_t size, size_t& at)
    {
        static const char kLength[] = "Content-Length: ";
        static const char kEnd[] = "\r\n\r\n";
        for (;;) {
            if (wanted_ < 0) {
                const uint8_t* stop = std::search(buffer + at, buffer + size, kEnd, kEnd + 4);
                if (stop == buffer + size)
                    return;
                const uint8_t* field = std::search(buffer + at, stop, kLength, kLength + sizeof kLength - 1);
                at = static_cast<size_t>(stop - buffer) + 4;
                if (field != stop)
                    wanted_ = std::atol(std::string(field + sizeof kLength - 1, stop).c_str());
            } else {
                if (size - at < static_cast<size_t>(wanted_))
                    return;
                arrivals_.push_back({Hash(buffer + at, static_cast<size_t>(wanted_)), NowUs()});
                pictureBytes_ += static_cast<uint64_t>(wanted_);
                at += static_cast<size_t>(wanted_);
                wanted_ = -1;
            }
        }
    }

    uint32_t port_;
    Options options_;
    uint64_t bytes_ = 0;
    uint64_t pictureBytes_ = 0;
    long wanted_ = -1;
    std::vector<Arrival> arrivals_;
};

// CPU seconds of this process's threads at the lowest priority (the server's threads).
double ServerThreadCpuSeconds()
{
    double total = 0;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr)
        return 0;
    while (dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream in(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::vector<std::string> f;
        for (std::string word; fields >> word;)
            f.push_back(word);
        // From the state field on: utime is the 12th, stime the 13th, nice the 17th.
        if (f.size() > 16 && f[16] == "19" && entry->d_name != std::to_string(::gettid()))
            total += (std::stod(f[11]) + std::stod(f[12])) / static_cast<double>(ticks);
    }
    ::closedir(tasks);
    return total;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Options Parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? std::atoll(argv[++i]) : 0; };
        if (arg == "--clients")
            options.clients = static_cast<int>(next());
        else if (arg == "--seconds")
            options.seconds = static_cast<int>(next());
        else if (arg == "--rate")
            options.rate = next();
        else if (arg == "--rcvbuf")
            options.rcvbuf = static_cast<int>(next());
        else if (arg == "--sndbuf")
            options.tuning.sendBufferBytes = static_cast<int32_t>(next());
        else if (arg == "--nodelay")
            options.tuning.noDelay = true;
        else if (arg == "--coalesce")
            options.tuning.coalesce = true;
        else if (arg == "--viewer-nice")
            options.viewerNice = static_cast<int>(next());
        else if (arg == "--quality")
            options.quality = static_cast<int32_t>(next());
    }
    return options;
}

int Main(int argc, char** argv)
{
    const Options options = Parse(argc, argv);
    EncodeLog encodeLog;
    CaptureDevice* devicePointer = nullptr;
    OneDriverCatalog catalog(encodeLog, devicePointer);
    bench::NoDialogs dialogs;
    WindowFactory factory(catalog, dialogs);
    CaptureDevice device(factory);
    devicePointer = &device;
    if (device.CreateCaptureWindow(nullptr, 0, options.quality) != 0)
        return 1;
    bench::PrintingPrompt prompt;
    ServerController server(0, 99, 0, "/video", device, prompt);
    server.SetStreamTuning(options.tuning);
    if (server.StartServer() != 0) {
        std::fprintf(stderr, "server did not start\n");
        return 1;
    }
    uint32_t port = 0;
    for (int i = 0; i < 5000 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        port = server.GetListeningPort();
    }

    std::atomic<bool> quit{false};
    std::vector<std::unique_ptr<Viewer>> viewers;
    std::vector<std::thread> threads;
    for (int i = 0; i < options.clients; ++i) {
        viewers.push_back(std::make_unique<Viewer>(port, options));
        threads.emplace_back([&, viewer = viewers.back().get()] { viewer->Run(quit); });
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));  // warm-up
    const int64_t from = NowUs();
    const double serverCpu0 = ServerThreadCpuSeconds();
    const double processCpu0 = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
    const int64_t to = NowUs();
    const double serverCpu = ServerThreadCpuSeconds() - serverCpu0;
    const double processCpu = ProcessCpuSeconds() - processCpu0;
    quit = true;
    for (std::thread& thread : threads)
        thread.join();
    server.StopServer();

    const std::map<uint64_t, int64_t> encodedAt = encodeLog.EncodedAt();
    const size_t encoded = encodeLog.CountBetween(from, to);
    const double seconds = static_cast<double>(to - from) / 1e6;
    std::vector<double> delays, ages, rates, shares;
    for (const auto& viewer : viewers) {
        std::set<uint64_t> seen;
        size_t received = 0;
        for (const Arrival& arrival : viewer->Arrivals()) {
            if (arrival.us < from || arrival.us >= to)
                continue;
            ++received;
            auto encodedTime = encodedAt.find(arrival.hash);
            if (encodedTime == encodedAt.end())
                continue;
            ages.push_back(static_cast<double>(arrival.us - encodedTime->second) / 1000.0);
            if (seen.insert(arrival.hash).second && encodedTime->second >= from)
                delays.push_back(static_cast<double>(arrival.us - encodedTime->second) / 1000.0);
        }
        rates.push_back(static_cast<double>(received) / seconds);
        size_t distinct = 0;
        for (uint64_t hash : seen) {
            auto at = encodedAt.find(hash);
            distinct += at != encodedAt.end() && at->second >= from && at->second < to ? 1u : 0u;
        }
        shares.push_back(encoded > 0 ? static_cast<double>(distinct) / static_cast<double>(encoded) : 0);
    }
    uint64_t pictureBytes = 0, pictures = 0;
    for (const auto& viewer : viewers) {
        pictureBytes += viewer->PictureBytes();
        pictures += viewer->Arrivals().size();
    }
    double meanRate = 0, meanShare = 0;
    for (double r : rates)
        meanRate += r / static_cast<double>(rates.size());
    for (double s : shares)
        meanShare += s / static_cast<double>(shares.size());
    std::printf("clients %d rate %lld sndbuf %d nodelay %d coalesce %d | encoded %.1f/s | pictures/client/s %.1f | "
                "distinct share mean %.3f min %.3f | new-picture delay ms median %.1f p99 %.1f | age ms median "
                "%.1f p99 %.1f max %.1f | server threads CPU %.0f%% | process CPU %.0f%% | picture %llu bytes\n",
                options.clients, static_cast<long long>(options.rate), options.tuning.sendBufferBytes,
                options.tuning.noDelay ? 1 : 0, options.tuning.coalesce ? 1 : 0,
                static_cast<double>(encoded) / seconds, meanRate, meanShare,
                shares.empty() ? 0 : *std::min_element(shares.begin(), shares.end()), bench::Percentile(delays, 0.5),
                bench::Percentile(delays, 0.99), bench::Percentile(ages, 0.5), bench::Percentile(ages, 0.99), bench::Percentile(ages, 1.0),
                100 * serverCpu / seconds, 100 * processCpu / seconds,
                static_cast<unsigned long long>(pictures > 0 ? pictureBytes / pictures : 0));
    devicePointer = nullptr;
    return 0;
}

} // namespace
} // namespace brightowl::bench

int main(int argc, char** argv)
{
    return brightowl::bench::Main(argc, argv);
}

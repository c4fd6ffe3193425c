// The real server as a process of its own, for side-by-side runs against other servers: the
// ServerController with the test pattern (or a replayed Motion-JPEG file) serving the camera stream
// at /video and the files of www/ in the current folder, on 127.0.0.1 only.
//
//   serve_bench [--replay FILE.mjpeg] [--fps N] [--quality Q] [--seconds S]
//
// Prints "port N" once it listens, then serves until standard input closes or S seconds have passed.
#include "bench/HeadlessServices.h"
#include "bench/ReplayDriver.h"
#include "capture/WindowlessCaptureWindowFactory.h"
#include "capture/CaptureDevice.h"
#include "capture/CaptureWindow.h"
#include "capture/DriverCaptureWindow.h"
#include "capture/DriverDialogs.h"
#include "capture/TestPatternDriver.h"
#include "server/Prompt.h"
#include "server/ServerController.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace brightowl::bench {
namespace {

struct Options
{
    const char* replay = nullptr;
    int fps = 30;
    int32_t quality = 35;
    double seconds = 3600;
};

class OneDriverCatalog : public DriverCatalog
{
public:
    explicit OneDriverCatalog(const Options& options) : options_(options) {}
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
        if (index != 0)
            return nullptr;
        if (options_.replay != nullptr)
            return std::make_unique<ReplayDriver>(ReplayDriver::ReadPictures(options_.replay), options_.fps);
        return std::make_unique<TestPatternDriver>();
    }

private:
    const Options& options_;
};

using WindowFactory = WindowlessCaptureWindowFactory;

Options Parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--replay")
            options.replay = argv[i + 1];
        else if (arg == "--fps")
            options.fps = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--quality")
            options.quality = std::atoi(argv[i + 1]);
        else if (arg == "--seconds")
            options.seconds = std::atof(argv[i + 1]);
    }
    return options;
}

// True once standard input has closed (the runner that started this process has let go of it).
bool InputClosed(int timeoutMs)
{
    pollfd in{0, POLLIN, 0};
    if (::poll(&in, 1, timeoutMs) <= 0)
        return false;
    char byte[256];
    return ::read(0, byte, sizeof byte) <= 0;
}

int Main(int argc, char** argv)
{
    const Options options = Parse(argc, argv);
    OneDriverCatalog catalog(options);
    bench::NoDialogs dialogs;
    WindowFactory factory(catalog, dialogs);
    CaptureDevice device(factory);
    if (device.CreateCaptureWindow(nullptr, 0, options.quality) != 0) {
        std::fprintf(stderr, "the capture window did not open\n");
        return 1;
    }
    bench::PrintingPrompt prompt;
    ServerController server(0, 99, 0, "/video", device, prompt);
    if (server.StartServer() != 0) {
        std::fprintf(stderr, "server did not start\n");
        return 1;
    }
    uint32_t port = 0;
    for (int i = 0; i < 5000 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        port = server.GetListeningPort();
    }
    std::printf("port %u\n", port);
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    while (port != 0 && std::chrono::steady_clock::now() < end && !InputClosed(200)) {
    }
    server.StopServer();
    return port != 0 ? 0 : 1;
}

} // namespace
} // namespace brightowl::bench

int main(int argc, char** argv)
{
    return brightowl::bench::Main(argc, argv);
}

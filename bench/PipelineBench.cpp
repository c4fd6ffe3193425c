// The test pattern through the decompressor and the encoder, as the capture thread runs it:
// frames per second delivered and encoded, and the CPU share of one core the whole process used.
// Usage: bench_pipeline [seconds]   (default 5 seconds per size)
#include "bench/BenchUtil.h"
#include "capture/CaptureDevice.h"
#include "capture/DriverCaptureWindow.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/TestPatternDriver.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace brightowl;

namespace {

class NoDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver& driver, void*) override { driver.SetMode(mode); }
    void ShowSourceDialog(CaptureDriver&, void*) override {}
    VideoMode mode;
};

// The test pattern, with every frame counted and the capture thread's CPU time in the frame
// callback (decode and encode) summed, so that the figures need no polling reader.
class CountingDriver : public TestPatternDriver
{
public:
    bool Start(FrameSink sink) override
    {
        return TestPatternDriver::Start([this, sink = std::move(sink)](const FrameHeader& frame) {
            const double before = ThreadCpuSeconds();
            sink(frame);
            callbackSeconds += ThreadCpuSeconds() - before;
            ++frames;
        });
    }
    static double ThreadCpuSeconds()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }
    std::atomic<int> frames{0};
    std::atomic<double> callbackSeconds{0};
};

// Takes preview frames as the preview widget's store does (one copy), without painting them.
class CopyingSink : public PreviewSink
{
public:
    void PresentFrame(const BitmapInfoHeader& header, const uint8_t* rows) override
    {
        copy.assign(rows, rows + static_cast<size_t>(RowStride24(header.biWidth)) *
                                     static_cast<size_t>(std::abs(header.biHeight)));
    }
    std::vector<uint8_t> copy;
};

// Makes the Qt-free engine, so that the figures are those of the capture path without painting.
class EngineFactory : public CaptureWindowFactory
{
public:
    EngineFactory(const DriverCatalog& catalog, DriverDialogs& dialogs) : catalog_(catalog), dialogs_(dialogs) {}
    std::unique_ptr<CaptureWindow> Create(const std::string&, void*, int32_t, int32_t, int32_t, int32_t) override
    {
        return std::make_unique<DriverCaptureWindow>(catalog_, dialogs_, &sink_, nullptr);
    }
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override
    {
        return catalog_.Describe(static_cast<int>(index), name, version);
    }

private:
    CopyingSink sink_;
    const DriverCatalog& catalog_;
    DriverDialogs& dialogs_;
};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
    CountingDriver* driver = nullptr;
    SystemDriverCatalog catalog([&driver] {
        return std::vector<DriverEntry>{{"Counting test pattern", "1", [&driver] {
                                             auto made = std::make_unique<CountingDriver>();
                                             driver = made.get();
                                             return std::unique_ptr<CaptureDriver>(std::move(made));
                                         }}};
    });
    NoDialogs dialogs;
    EngineFactory factory(catalog, dialogs);
    std::printf("%-10s %8s %8s %9s %8s %15s\n", "size", "preview", "fps", "jpeg kB", "cpu %", "frame ms");
    struct Run
    {
        uint32_t w, h;
        bool preview;
    };
    for (const auto& [w, h, preview] : {Run{640, 480, false}, Run{1280, 720, false}, Run{640, 480, true}}) {
        CaptureDevice device(factory);
        device.CreateCaptureWindow(nullptr, 0, 35);
        if (preview)
            device.StartPreview();
        dialogs.mode = {kFourCcYuyv, {w, h}, {1, 30}};
        device.ShowFormatDialog();
        if (device.StartStreaming() != 0 || driver == nullptr) {
            std::printf("streaming did not start\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // settle
        const int frames0 = driver->frames;
        const double callback0 = driver->callbackSeconds;
        const double cpu0 = bench::ProcessCpuSeconds();
        const double t0 = bench::NowSeconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double wall = bench::NowSeconds() - t0;
        const double cpu = bench::ProcessCpuSeconds() - cpu0;
        const int frames = driver->frames - frames0;
        const double callback = driver->callbackSeconds - callback0;
        const int32_t length = device.LockFrame();
        device.CopyFrameAndUnlock(nullptr);
        device.ShutdownCapture();
        std::printf("%4ux%-5u %8s %8.2f %9.1f %8.2f %15.3f\n", w, h, preview ? "on" : "off", frames / wall,
                    length / 1024.0, 100.0 * cpu / wall, 1e3 * callback / frames);
    }
    return 0;
}

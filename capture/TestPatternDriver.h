#pragma once

#include "capture/CaptureDriver.h"
#include "capture/TestPatternRenderer.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace brightowl {

// The built-in capture driver: a moving test pattern with a frame counter and clock, about 30
// frames a second, in YUYV or 24-bit BGR. Owns its frame thread (started by Start, joined by Stop);
// every other operation runs on the user-interface thread, the controls and faults from any thread.
class TestPatternDriver : public CaptureDriver
{
public:
    static constexpr uint32_t kPatternControl = 1;
    static constexpr uint32_t kBrightnessControl = 2;

    // Failures to stage for fault tests and demonstrations.
    enum class Fault
    {
        None,
        RefuseOpen,  // Open fails
        RefuseStart, // Start fails
        Disappear    // the device goes away: IsOpen turns false and frames stop
    };

    TestPatternDriver();
    ~TestPatternDriver() override;
    TestPatternDriver(const TestPatternDriver&) = delete;
    TestPatternDriver& operator=(const TestPatternDriver&) = delete;

    static const char* DriverName() { return "Brightowl Test Pattern"; }
    static const char* DriverVersion() { return "1.2.0"; }

    void InjectFault(Fault fault);

    std::string Name() const override { return DriverName(); }
    std::string Version() const override { return DriverVersion(); }
    bool Open() override;
    void Close() override;
    bool IsOpen() const override;
    std::vector<uint8_t> VideoFormat() const override;
    std::unique_ptr<Decompressor> LocateDecompressor(const BitmapInfoHeader& input,
                                                     const BitmapInfoHeader& output) override;
    bool Start(FrameSink sink) override;
    void Stop() override;
    std::vector<PixelFormatChoice> PixelFormats() const override;
    std::vector<FrameInterval> FrameIntervals(uint32_t fourcc, FrameSize size) const override;
    VideoMode CurrentMode() const override;
    bool SetMode(const VideoMode& mode) override;
    std::vector<ControlInfo> Controls() const override;
    bool SetControl(uint32_t id, int32_t value) override;

private:
    void Run(FrameSink sink, VideoMode mode);
    bool WaitUntil(std::chrono::steady_clock::time_point when);

    VideoMode mode_; // user-interface thread; the frame thread runs on a copy
    std::atomic<bool> open_{false};
    std::atomic<Fault> fault_{Fault::None};
    std::atomic<int32_t> pattern_{0};
    std::atomic<int32_t> brightness_{128};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopRequested_ = false; // guarded by mutex_
};

} // namespace brightowl

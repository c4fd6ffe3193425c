#include "capture/CaptureDevice.h"
#include "capture/DriverCaptureWindow.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/TestPatternDriver.h"
#include "capture/WindowlessCaptureWindowFactory.h"
#include "tests/capture/JpegTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace brightowl {
namespace {

using namespace std::chrono_literals;

// Polls until the condition holds or five seconds have passed.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

double MeanByte(const std::vector<uint8_t>& frame)
{
    double sum = 0;
    for (uint8_t b : frame)
        sum += b;
    return sum / static_cast<double>(frame.size());
}

TEST(TestPatternRenderer, FramesMoveAndBrightnessShiftsEveryChannel)
{
    TestPatternRenderer renderer;
    const VideoMode mode{kBiRgb, {320, 240}, {1, 30}};
    std::vector<uint8_t> first, second, dark, bright;
    renderer.Render(mode, 10, TestPattern::ColourBars, 0, "10:00:00", first);
    renderer.Render(mode, 11, TestPattern::ColourBars, 0, "10:00:00", second);
    EXPECT_EQ(first.size(), 320u * 240u * 3u);
    EXPECT_NE(first, second);
    renderer.Render(mode, 10, TestPattern::ColourBars, -100, "10:00:00", dark);
    renderer.Render(mode, 10, TestPattern::ColourBars, 100, "10:00:00", bright);
    EXPECT_LT(MeanByte(dark) + 50, MeanByte(first));
    EXPECT_GT(MeanByte(bright), MeanByte(first) + 50);
    std::vector<uint8_t> checker, gradient;
    renderer.Render(mode, 10, TestPattern::Checkerboard, 0, "10:00:00", checker);
    renderer.Render(mode, 10, TestPattern::Gradient, 0, "10:00:00", gradient);
    EXPECT_NE(checker, first);
    EXPECT_NE(gradient, first);
    std::vector<uint8_t> yuyv;
    renderer.Render({kFourCcYuyv, {1920, 1080}, {1, 30}}, 3, TestPattern::Gradient, 0, "23:59:59", yuyv);
    EXPECT_EQ(yuyv.size(), 1920u * 1080u * 2u);
}

TEST(TestPatternDriver, OffersFourSizesInYuyvAndBgrAndTakesOnlyThose)
{
    TestPatternDriver driver;
    const auto formats = driver.PixelFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].fourcc, kFourCcYuyv);
    EXPECT_EQ(formats[1].fourcc, kBiRgb);
    const std::vector<FrameSize> sizes{{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}};
    for (const auto& format : formats) {
        EXPECT_EQ(format.sizes, sizes);
        EXPECT_FALSE(driver.FrameIntervals(format.fourcc, {640, 480}).empty());
    }
    EXPECT_TRUE(driver.FrameIntervals(kFourCcYuyv, {641, 480}).empty());
    EXPECT_FALSE(driver.SetMode({kFourCcYuyv, {800, 600}, {1, 30}}));
    EXPECT_FALSE(driver.SetMode({FourCc('M', 'J', 'P', 'G'), {640, 480}, {1, 30}}));
    ASSERT_TRUE(driver.SetMode({kBiRgb, {1280, 720}, {1, 15}}));
    const std::vector<uint8_t> format = driver.VideoFormat();
    ASSERT_EQ(format.size(), sizeof(BitmapInfoHeader));
    BitmapInfoHeader header;
    std::memcpy(&header, format.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 1280);
    EXPECT_EQ(header.biHeight, 720);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, kBiRgb);
    EXPECT_EQ(driver.LocateDecompressor(header, header), nullptr);
}

TEST(TestPatternDriver, ControlsAreAPatternMenuAndABrightnessRange)
{
    TestPatternDriver driver;
    const auto controls = driver.Controls();
    ASSERT_EQ(controls.size(), 2u);
    EXPECT_EQ(controls[0].kind, ControlInfo::Kind::Menu);
    EXPECT_EQ(controls[0].menuItems.size(), 3u);
    EXPECT_EQ(controls[1].kind, ControlInfo::Kind::Integer);
    EXPECT_EQ(controls[1].value, 128);
    EXPECT_TRUE(driver.SetControl(TestPatternDriver::kBrightnessControl, 200));
    EXPECT_FALSE(driver.SetControl(TestPatternDriver::kBrightnessControl, 256));
    EXPECT_FALSE(driver.SetControl(TestPatternDriver::kPatternControl, 3));
    EXPECT_FALSE(driver.SetControl(99, 0));
    EXPECT_EQ(driver.Controls()[1].value, 200);
}

// Frames arrive on the driver's own thread, whole, one at a time, each one different.
TEST(TestPatternDriver, DeliversMovingFramesOnItsOwnThreadUntilStopped)
{
    TestPatternDriver driver;
    ASSERT_TRUE(driver.Open());
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<int64_t> stamps;
    std::atomic<bool> otherThread{true};
    const auto testThread = std::this_thread::get_id();
    ASSERT_TRUE(driver.Start([&](const FrameHeader& frame) {
        if (std::this_thread::get_id() == testThread)
            otherThread = false;
        std::lock_guard lock(mutex);
        if (frames.size() < 3) {
            frames.emplace_back(frame.data, frame.data + frame.bytesUsed);
            stamps.push_back(frame.timestampUs);
        }
    }));
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return frames.size() == 3;
    }));
    driver.Stop();
    EXPECT_TRUE(otherThread);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].size(), 640u * 480u * 2u);
    EXPECT_NE(frames[0], frames[1]);
    EXPECT_LT(stamps[0], stamps[1]);
    // Stopped means stopped: a mode change is taken again.
    EXPECT_TRUE(driver.SetMode({kBiRgb, {320, 240}, {1, 30}}));
}

TEST(TestPatternDriver, StagedFaultsRefuseOrEndTheCapture)
{
    TestPatternDriver refusesOpen;
    refusesOpen.InjectFault(TestPatternDriver::Fault::RefuseOpen);
    EXPECT_FALSE(refusesOpen.Open());

    TestPatternDriver refusesStart;
    ASSERT_TRUE(refusesStart.Open());
    refusesStart.InjectFault(TestPatternDriver::Fault::RefuseStart);
    EXPECT_FALSE(refusesStart.Start([](const FrameHeader&) {}));

    TestPatternDriver disappears;
    ASSERT_TRUE(disappears.Open());
    std::atomic<int> count{0};
    ASSERT_TRUE(disappears.Start([&](const FrameHeader&) { ++count; }));
    ASSERT_TRUE(WaitFor([&] { return count > 0; }));
    disappears.InjectFault(TestPatternDriver::Fault::Disappear);
    EXPECT_FALSE(disappears.IsOpen());
    std::this_thread::sleep_for(50ms);
    const int afterGone = count;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(count, afterGone);
    disappears.Stop();
}

TEST(SystemDriverCatalog, CamerasComeFirstThenTheTestPatternAtMostTen)
{
    SystemDriverCatalog alone;
    std::string name, version;
    ASSERT_TRUE(alone.Describe(0, name, version));
    EXPECT_EQ(name, "Brightowl Test Pattern");
    EXPECT_FALSE(alone.Describe(1, name, version));
    EXPECT_NE(alone.Create(0), nullptr);
    EXPECT_EQ(alone.Create(1), nullptr);

    SystemDriverCatalog twelve([] {
        std::vector<DriverEntry> cameras;
        for (int i = 0; i < 12; ++i)
            cameras.push_back({"Camera " + std::to_string(i), "6.1." + std::to_string(i), nullptr});
        return cameras;
    });
    ASSERT_TRUE(twelve.Describe(0, name, version));
    EXPECT_EQ(name, "Camera 0");
    EXPECT_EQ(version, "6.1.0");
    ASSERT_TRUE(twelve.Describe(9, name, version));
    EXPECT_EQ(name, "Brightowl Test Pattern");
    EXPECT_FALSE(twelve.Describe(10, name, version));
    EXPECT_EQ(twelve.Create(0), nullptr); // no way to make it: none
}

// A preview sink that keeps the header of every frame.
class RecordingSink : public PreviewSink
{
public:
    void PresentFrame(const BitmapInfoHeader& header, const uint8_t* rows) override
    {
        std::lock_guard lock(mutex_);
        headers_.push_back(header);
        const size_t stride = static_cast<size_t>(RowStride24(header.biWidth));
        last_.assign(rows, rows + stride * static_cast<size_t>(std::abs(header.biHeight)));
    }
    size_t Count()
    {
        std::lock_guard lock(mutex_);
        return headers_.size();
    }
    BitmapInfoHeader Last()
    {
        std::lock_guard lock(mutex_);
        return headers_.back();
    }

private:
    std::mutex mutex_;
    std::vector<BitmapInfoHeader> headers_;
    std::vector<uint8_t> last_;
};

// The format dialog stand-in picks the mode the test set; the source dialog turns up the brightness.
class ScriptedDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver& driver, void*) override
    {
        ++formatDialogs;
        if (chosen)
            driverTookMode = driver.SetMode(*chosen);
    }
    void ShowSourceDialog(CaptureDriver& driver, void*) override
    {
        driver.SetControl(TestPatternDriver::kBrightnessControl, 255);
    }

    std::optional<VideoMode> chosen;
    bool driverTookMode = false;
    int formatDialogs = 0;
};

// The window's engine over the real test-pattern driver, which the test can reach to stage faults.
class DriverCaptureWindowTest : public testing::Test
{
protected:
    struct CallbackState
    {
        std::atomic<int> calls{0};
        std::atomic<bool> running{false};
        std::atomic<bool> overlapped{false};
        std::atomic<int> sleepMs{0};
        std::atomic<int64_t> oldestFrameUs{0}; // how long the stalest frame waited for its call
        std::thread::id thread;
    };

    static int32_t Callback(CaptureWindow* window, const FrameHeader& frame)
    {
        auto* state = static_cast<CallbackState*>(window->GetUserData());
        if (state->running.exchange(true))
            state->overlapped = true;
        state->thread = std::this_thread::get_id();
        EXPECT_GT(frame.bytesUsed, 0u);
        const int64_t nowUs =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        state->oldestFrameUs = std::max(state->oldestFrameUs.load(), nowUs - frame.timestampUs);
        if (state->sleepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(state->sleepMs.load()));
        ++state->calls;
        state->running = false;
        return 1;
    }

    void StartStreaming()
    {
        window.SetUserData(&state);
        CaptureParms parms;
        window.GetSequenceSetup(parms);
        parms.fYield = true;
        window.SetSequenceSetup(parms);
        window.SetCallbackOnVideoStream(&Callback);
        ASSERT_EQ(window.SequenceNoFile(), 1);
    }

    TestPatternDriver* driver = nullptr;
    TestPatternDriver::Fault fault = TestPatternDriver::Fault::None;
    SystemDriverCatalog catalog{[this] {
        return std::vector<DriverEntry>{{"Staged", "0", [this] {
                                             auto made = std::make_unique<TestPatternDriver>();
                                             made->InjectFault(fault);
                                             driver = made.get();
                                             return made;
                                         }}};
    }};
    ScriptedDialogs dialogs;
    RecordingSink sink;
    CallbackState state;
    DriverCaptureWindow window{catalog, dialogs, &sink, nullptr};
};

TEST_F(DriverCaptureWindowTest, ConnectsByIndexAndReportsTheDriversFormat)
{
    EXPECT_EQ(window.DriverConnect(2), 0);
    EXPECT_EQ(window.DriverConnect(10), 0);
    ASSERT_EQ(window.DriverConnect(0), 1);
    EXPECT_EQ(window.GetVideoFormatSize(), 40);
    std::vector<uint8_t> block(40);
    EXPECT_EQ(window.GetVideoFormat(block.data(), 40), 40);
    CaptureStatus status;
    ASSERT_EQ(window.GetStatus(status), 1);
    EXPECT_EQ(status.uiImageWidth, 640u);
    EXPECT_EQ(status.uiImageHeight, 480u);
    EXPECT_EQ(window.DriverDisconnect(), 1);
    EXPECT_EQ(window.GetStatus(status), 0);
}

TEST_F(DriverCaptureWindowTest, ThePreviewShowsDecodedFramesOnlyWhileItIsOn)
{
    ASSERT_EQ(window.DriverConnect(0), 1);
    EXPECT_EQ(window.SetPreviewRate(33), 1);
    ASSERT_EQ(window.SetPreview(true), 1);
    ASSERT_TRUE(WaitFor([&] { return sink.Count() >= 3; }));
    const BitmapInfoHeader header = sink.Last();
    EXPECT_EQ(header.biWidth, 640);
    EXPECT_EQ(header.biHeight, 480); // bottom-up
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(window.SetPreview(false), 1);
    const size_t stopped = sink.Count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.Count(), stopped);
    EXPECT_EQ(state.calls, 0); // no streaming: no callback
}

TEST_F(DriverCaptureWindowTest, StreamingCallsTheCallbackOnTheDriversThreadAndNotAfterAbort)
{
    ASSERT_EQ(window.DriverConnect(0), 1);
    StartStreaming();
    ASSERT_TRUE(WaitFor([&] { return state.calls >= 3; }));
    EXPECT_NE(state.thread, std::this_thread::get_id());
    EXPECT_EQ(window.Abort(), 1);
    const int afterAbort = state.calls;
    EXPECT_FALSE(state.running);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(state.calls, afterAbort);
    EXPECT_EQ(sink.Count(), 0u); // no preview asked for
}

// A callback slower than the frame rate gets the newest frames, one at a time, without a backlog.
TEST_F(DriverCaptureWindowTest, FramesArrivingWhileTheCallbackIsBusyAreDropped)
{
    ASSERT_EQ(window.DriverConnect(0), 1);
    state.sleepMs = 100;
    const auto start = std::chrono::steady_clock::now();
    StartStreaming();
    ASSERT_TRUE(WaitFor([&] { return state.calls >= 4; }));
    window.Abort();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(state.overlapped);
    EXPECT_LE(state.calls, elapsed / 100ms + 1);
    // Each call gets a frame taken just before it, not one that queued while the last call ran.
    EXPECT_LT(state.oldestFrameUs, 30000);
}

TEST_F(DriverCaptureWindowTest, StreamingNeedsTheYieldFlag)
{
    ASSERT_EQ(window.DriverConnect(0), 1);
    window.SetCallbackOnVideoStream(&Callback);
    EXPECT_EQ(window.SequenceNoFile(), 0);
}

TEST_F(DriverCaptureWindowTest, ADriverThatRefusesToStartTurnsNothingOn)
{
    fault = TestPatternDriver::Fault::RefuseStart;
    ASSERT_EQ(window.DriverConnect(0), 1);
    EXPECT_EQ(window.SetPreview(true), 0);
    CaptureParms parms;
    parms.fYield = true;
    window.SetSequenceSetup(parms);
    EXPECT_EQ(window.SequenceNoFile(), 0);
}

TEST_F(DriverCaptureWindowTest, ADriverThatCannotOpenDoesNotConnect)
{
    fault = TestPatternDriver::Fault::RefuseOpen;
    EXPECT_EQ(window.DriverConnect(0), 0);
    EXPECT_EQ(window.GetVideoFormatSize(), 0);
}

TEST_F(DriverCaptureWindowTest, AVanishingCameraStopsTheFramesAndIsNoticed)
{
    ASSERT_EQ(window.DriverConnect(0), 1);
    window.SetPreview(true);
    StartStreaming();
    ASSERT_TRUE(WaitFor([&] { return state.calls >= 2; }));
    driver->InjectFault(TestPatternDriver::Fault::Disappear);
    std::this_thread::sleep_for(60ms);
    const int afterGone = state.calls;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(state.calls, afterGone);
    CaptureStatus status;
    window.GetStatus(status);
    EXPECT_TRUE(window.DriverLost());
    EXPECT_EQ(window.Abort(), 1);
    EXPECT_EQ(window.SetPreview(false), 1);
}

TEST_F(DriverCaptureWindowTest, TheFormatDialogStopsTheDriverForTheNewModeAndRestartsIt)
{
    ASSERT_EQ(window.DriverConnect(0), 1);
    ASSERT_EQ(window.SetPreview(true), 1);
    ASSERT_TRUE(WaitFor([&] { return sink.Count() >= 1; }));
    dialogs.chosen = VideoMode{kBiRgb, {320, 240}, {1, 30}};
    EXPECT_EQ(window.DialogVideoFormat(), 1);
    EXPECT_TRUE(dialogs.driverTookMode);
    CaptureStatus status;
    window.GetStatus(status);
    EXPECT_EQ(status.uiImageWidth, 320u);
    ASSERT_TRUE(WaitFor([&] { return sink.Last().biWidth == 320; }));
    EXPECT_EQ(sink.Last().biHeight, 240);
    EXPECT_EQ(window.DialogVideoSource(), 1);
    EXPECT_EQ(driver->Controls()[1].value, 255);
}

// The device over the real capture window engine and test pattern: frames become JPEGs in the slot.
using WindowFactory = WindowlessCaptureWindowFactory;

TEST(CaptureDeviceWithTestPattern, StreamsJpegsIntoTheSlotInBothPixelFormats)
{
    SystemDriverCatalog catalog;
    ScriptedDialogs dialogs;
    WindowFactory factory(catalog, dialogs);
    CaptureDevice device(factory);
    ASSERT_EQ(device.CreateCaptureWindow(nullptr, 0, 35), 0);
    char name[80], version[80];
    ASSERT_TRUE(device.GetDriverDescription(0, name, 80, version, 80));
    EXPECT_STREQ(name, "Brightowl Test Pattern");

    for (const VideoMode& mode :
         {VideoMode{kFourCcYuyv, {640, 480}, {1, 30}}, VideoMode{kBiRgb, {320, 240}, {1, 30}}}) {
        dialogs.chosen = mode;
        ASSERT_EQ(device.ShowFormatDialog(), 0);
        int32_t width = 0, height = 0;
        ASSERT_EQ(device.GetImageSize(width, height), 0);
        EXPECT_EQ(width, static_cast<int32_t>(mode.size.width));
        ASSERT_EQ(device.StartStreaming(), 0);
        std::vector<uint8_t> jpeg;
        EXPECT_TRUE(WaitFor([&] {
            const int32_t length = device.LockFrame();
            jpeg.resize(static_cast<size_t>(std::max(length, 0)));
            device.CopyFrameAndUnlock(jpeg.data());
            return length > 0;
        }));
        device.StopStreaming();
        const auto decoded = test::DecodeJpeg(jpeg);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.width, static_cast<int32_t>(mode.size.width));
        EXPECT_EQ(decoded.height, static_cast<int32_t>(mode.size.height));
        // The counter sits at the top left on black: the blank between counter and clock decodes dark
        // there when the picture is upright.
        const int scale = std::max(2, static_cast<int>(mode.size.height) / 120) & ~1;
        const uint8_t* blank = decoded.Pixel(scale * 65 / 2, scale * 11 / 2);
        EXPECT_LT(blank[0] + blank[1] + blank[2], 150) << "mode " << mode.size.width;
    }
    EXPECT_FALSE(device.LastError().set);
    device.ShutdownCapture();
    device.ShutdownCapture();
}

} // namespace
} // namespace brightowl

#include "capture/TestPatternDriver.h"

#include "capture/V4lConvertDecompressor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

namespace brightowl {
namespace {

const FrameSize kSizes[] = {{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}};
const FrameInterval kIntervals[] = {{1, 30}, {1, 15}};

bool IsOffered(const VideoMode& mode)
{
    if (mode.fourcc != kFourCcYuyv && mode.fourcc != kBiRgb)
        return false;
    bool size = false, interval = false;
    for (const FrameSize& s : kSizes)
        size = size || s == mode.size;
    for (const FrameInterval& i : kIntervals)
        interval = interval || i == mode.interval;
    return size && interval;
}

void ClockText(char* text, size_t size)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(text, size, "%H:%M:%S", &local);
}

} // namespace

TestPatternDriver::TestPatternDriver() : mode_{kFourCcYuyv, {640, 480}, {1, 30}} {}

TestPatternDriver::~TestPatternDriver()
{
    Stop();
}

void TestPatternDriver::InjectFault(Fault fault)
{
    fault_ = fault;
    if (fault == Fault::Disappear) {
        open_ = false;
        std::lock_guard lock(mutex_);
        wake_.notify_all();
    }
}

bool TestPatternDriver::Open()
{
    if (fault_ == Fault::RefuseOpen || fault_ == Fault::Disappear)
        return false;
    open_ = true;
    return true;
}

void TestPatternDriver::Close()
{
    Stop();
    open_ = false;
}

bool TestPatternDriver::IsOpen() const
{
    return open_;
}

std::vector<uint8_t> TestPatternDriver::VideoFormat() const
{
    BitmapInfoHeader header;
    header.biWidth = static_cast<int32_t>(mode_.size.width);
    header.biHeight = static_cast<int32_t>(mode_.size.height);
    header.biBitCount = mode_.fourcc == kFourCcYuyv ? 16 : 24;
    header.biCompression = mode_.fourcc;
    header.biSizeImage = TestPatternRenderer::FrameBytes(mode_);
    std::vector<uint8_t> block(sizeof header);
    std::memcpy(block.data(), &header, sizeof header);
    return block;
}

std::unique_ptr<Decompressor> TestPatternDriver::LocateDecompressor(const BitmapInfoHeader& input,
                                                                    const BitmapInfoHeader& output)
{
    return CreateV4lConvertDecompressor(input, output);
}

bool TestPatternDriver::Start(FrameSink sink)
{
    if (!open_ || fault_ == Fault::RefuseStart || !sink)
        return false;
    if (thread_.joinable())
        return true;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
    }
    thread_ = std::thread([this, sink = std::move(sink), mode = mode_] { Run(sink, mode); });
    return true;
}

void TestPatternDriver::Stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool TestPatternDriver::WaitUntil(std::chrono::steady_clock::time_point when)
{
    std::unique_lock lock(mutex_);
    return !wake_.wait_until(lock, when, [this] { return stopRequested_ || !open_; });
}

// Frame n is due at start + n intervals, so that the rate does not drift with the time spent per
// frame; when a frame is late (a slow sink), the missed slots are dropped rather than caught up.
void TestPatternDriver::Run(FrameSink sink, VideoMode mode)
{
    using namespace std::chrono;
    const auto interval = duration_cast<steady_clock::duration>(
        duration<double>(static_cast<double>(mode.interval.numerator) / mode.interval.denominator));
    TestPatternRenderer renderer;
    std::vector<uint8_t> frame;
    const auto start = steady_clock::now();
    int64_t slot = 0;
    uint64_t delivered = 0;
    while (WaitUntil(start + slot * interval)) {
        char clock[16];
        ClockText(clock, sizeof clock);
        renderer.Render(mode, delivered, static_cast<TestPattern>(pattern_.load()), brightness_ - 128, clock, frame);
        const auto now = steady_clock::now();
        FrameHeader header;
        header.data = frame.data();
        header.bytesUsed = static_cast<uint32_t>(frame.size());
        header.bufferLength = static_cast<uint32_t>(frame.size());
        header.timestampUs = duration_cast<microseconds>(now.time_since_epoch()).count();
        sink(header);
        ++delivered;
        const int64_t elapsedSlots = (steady_clock::now() - start) / interval;
        slot = std::max(slot + 1, elapsedSlots + 1);
    }
}

std::vector<PixelFormatChoice> TestPatternDriver::PixelFormats() const
{
    std::vector<FrameSize> sizes(std::begin(kSizes), std::end(kSizes));
    return {{kFourCcYuyv, "YUYV 4:2:2", sizes}, {kBiRgb, "24-bit BGR", sizes}};
}

std::vector<FrameInterval> TestPatternDriver::FrameIntervals(uint32_t fourcc, FrameSize size) const
{
    if (!IsOffered({fourcc, size, {1, 30}}))
        return {};
    return {std::begin(kIntervals), std::end(kIntervals)};
}

VideoMode TestPatternDriver::CurrentMode() const
{
    return mode_;
}

bool TestPatternDriver::SetMode(const VideoMode& mode)
{
    // The frame thread renders the mode it started with: a change waits for the next Start.
    if (!IsOffered(mode) || thread_.joinable())
        return false;
    mode_ = mode;
    return true;
}

std::vector<ControlInfo> TestPatternDriver::Controls() const
{
    ControlInfo pattern;
    pattern.id = kPatternControl;
    pattern.name = "Pattern";
    pattern.kind = ControlInfo::Kind::Menu;
    pattern.minimum = 0;
    pattern.maximum = 2;
    pattern.defaultValue = 0;
    pattern.value = pattern_;
    pattern.menuItems = {{0, "Colour bars"}, {1, "Gradient"}, {2, "Checkerboard"}};
    ControlInfo brightness;
    brightness.id = kBrightnessControl;
    brightness.name = "Brightness";
    brightness.kind = ControlInfo::Kind::Integer;
    brightness.minimum = 0;
    brightness.maximum = 255;
    brightness.defaultValue = 128;
    brightness.value = brightness_;
    return {pattern, brightness};
}

bool TestPatternDriver::SetControl(uint32_t id, int32_t value)
{
    if (id == kPatternControl && value >= 0 && value <= 2) {
        pattern_ = value;
        return true;
    }
    if (id == kBrightnessControl && value >= 0 && value <= 255) {
        brightness_ = value;
        return true;
    }
    return false;
}

} // namespace brightowl

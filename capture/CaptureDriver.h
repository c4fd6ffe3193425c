#pragma once

#include "capture/BitmapInfoHeader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brightowl {

class Decompressor;

// One frame as a driver delivers it: valid only for the duration of the sink call.
struct FrameHeader
{
    const uint8_t* data = nullptr;
    uint32_t bytesUsed = 0;     // bytes of this frame in data
    uint32_t bufferLength = 0;  // size of the buffer behind data
    int64_t timestampUs = 0;    // steady-clock time of capture
};

struct FrameSize
{
    uint32_t width = 0;
    uint32_t height = 0;
    friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// A frame interval of numerator / denominator seconds (1/30 is thirty frames a second).
struct FrameInterval
{
    uint32_t numerator = 1;
    uint32_t denominator = 30;
    friend bool operator==(const FrameInterval&, const FrameInterval&) = default;
};

// What a format dialog offers: one pixel format with the frame sizes the driver takes for it
// (a stepwise range already expanded into a list by the driver).
struct PixelFormatChoice
{
    uint32_t fourcc = 0;  // 0 (kBiRgb) for 24-bit BGR bottom-up rows
    std::string description;
    std::vector<FrameSize> sizes;
};

struct VideoMode
{
    uint32_t fourcc = 0;
    FrameSize size;
    FrameInterval interval;
    friend bool operator==(const VideoMode&, const VideoMode&) = default;
};

// One adjustable control of a source dialog.
struct ControlInfo
{
    enum class Kind
    {
        Integer,
        Boolean,
        Menu,
        Button
    };
    uint32_t id = 0;
    std::string name;
    Kind kind = Kind::Integer;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 1;
    int32_t defaultValue = 0;
    int32_t value = 0;
    std::vector<std::pair<int32_t, std::string>> menuItems;  // for Kind::Menu: value and text
};

// A capture driver: one camera or the built-in test pattern. Every operation but the sink runs on
// the user-interface thread; between Start and Stop the driver calls the sink on a thread of its
// own, one frame at a time (frames that arrive while the sink is busy are the driver's to drop).
class CaptureDriver
{
public:
    using FrameSink = std::function<void(const FrameHeader&)>;

    virtual ~CaptureDriver() = default;

    virtual std::string Name() const = 0;
    virtual std::string Version() const = 0;

    virtual bool Open() = 0;
    virtual void Close() = 0;
    // False once the device has gone (unplugged, failed); the driver then delivers nothing more.
    virtual bool IsOpen() const = 0;

    // The current video format: a bitmap info header, and whatever the driver puts after it.
    virtual std::vector<uint8_t> VideoFormat() const = 0;

    // A converter from the input format to 24-bit BGR rows, or none when the input already is that.
    virtual std::unique_ptr<Decompressor> LocateDecompressor(const BitmapInfoHeader& input,
                                                             const BitmapInfoHeader& output) = 0;

    // Starts delivering frames to the sink; false when the device refuses to capture.
    virtual bool Start(FrameSink sink) = 0;
    // Stops delivering; once it returns no sink call is running or will start.
    virtual void Stop() = 0;

    // The model behind the driver's format dialog.
    virtual std::vector<PixelFormatChoice> PixelFormats() const = 0;
    virtual std::vector<FrameInterval> FrameIntervals(uint32_t fourcc, FrameSize size) const = 0;
    virtual VideoMode CurrentMode() const = 0;
    virtual bool SetMode(const VideoMode& mode) = 0;

    // The model behind the driver's source dialog; controls change live.
    virtual std::vector<ControlInfo> Controls() const = 0;
    virtual bool SetControl(uint32_t id, int32_t value) = 0;
};

// The installed drivers, indices 0 to 9.
class DriverCatalog
{
public:
    virtual ~DriverCatalog() = default;
    // Name and version of the driver at index, false when there is none.
    virtual bool Describe(int index, std::string& name, std::string& version) const = 0;
    // A new driver object for the index, or none.
    virtual std::unique_ptr<CaptureDriver> Create(int index) const = 0;
};

} // namespace brightowl

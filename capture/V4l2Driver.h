#pragma once

#include "capture/CaptureDriver.h"
#include "capture/V4l2DeviceList.h"
#include "capture/V4l2DeviceOps.h"
#include "capture/V4l2Fd.h"

#include <linux/videodev2.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace brightowl {

class V4l2Stream;

// What follows the bitmap header in a V4L2 driver's video format block.
struct V4l2FormatTail
{
    uint32_t bytesPerLine = 0;
    uint32_t sizeImage = 0;
    uint32_t field = 0;      // enum v4l2_field
    uint32_t colorspace = 0; // enum v4l2_colorspace
};

// A capture driver for one V4L2 video node. Owns the node's descriptor and, while it runs, the
// memory-mapped stream with its capture thread. Every operation runs on the user-interface thread;
// only the frame sink and the loss of the device happen on the capture thread.
class V4l2Driver final : public CaptureDriver
{
public:
    V4l2Driver(V4l2DeviceOps& ops, V4l2DeviceInfo device);
    ~V4l2Driver() override;
    V4l2Driver(const V4l2Driver&) = delete;
    V4l2Driver& operator=(const V4l2Driver&) = delete;

    std::string Name() const override;
    std::string Version() const override;

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
    void OnLost();
    bool SetInterval(FrameInterval interval);

    V4l2DeviceOps& ops_;
    const V4l2DeviceInfo device_;
    // Guards fd_: the capture thread closes it when the camera goes away.
    mutable std::mutex mutex_;
    V4l2Fd fd_;
    std::atomic<bool> lost_{false};
    v4l2_format format_{}; // the format read at Open or chosen by SetMode
    std::unique_ptr<V4l2Stream> stream_;
    FrameSink sink_; // the running stream's, kept to restart it after a mode change
};

} // namespace brightowl

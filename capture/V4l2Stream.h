#pragma once

#include "capture/CaptureDriver.h"
#include "capture/V4l2DeviceOps.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct v4l2_buffer;

namespace brightowl {

// One memory-mapped buffer of the device, unmapped on destruction.
class V4l2Mapping
{
public:
    V4l2Mapping(V4l2DeviceOps& ops, void* address, size_t length) : ops_(&ops), address_(address), length_(length) {}
    ~V4l2Mapping();
    V4l2Mapping(V4l2Mapping&& other) noexcept;
    V4l2Mapping& operator=(V4l2Mapping&&) = delete;
    V4l2Mapping(const V4l2Mapping&) = delete;
    V4l2Mapping& operator=(const V4l2Mapping&) = delete;

    const uint8_t* Data() const { return static_cast<const uint8_t*>(address_); }
    size_t Length() const { return length_; }

private:
    V4l2DeviceOps* ops_;
    void* address_;
    size_t length_;
};

// A running memory-mapped capture: owns the device's buffers and the capture thread that polls,
// dequeues, hands each frame to the sink and queues the buffer again. Created and destroyed on the
// user-interface thread; destruction stops the thread, streaming and the buffers.
class V4l2Stream
{
public:
    // Called once on the capture thread when the device fails (unplugged): the buffers are already
    // unmapped, the stream delivers nothing more and the owner is to close the descriptor.
    using LostHandler = std::function<void()>;

    // Requests the fewest buffers the device accepts (at least two), maps and queues them and
    // switches streaming on; none when the device refuses any of it (nothing is left behind).
    static std::unique_ptr<V4l2Stream> Start(V4l2DeviceOps& ops, int fd, std::string deviceName,
                                             CaptureDriver::FrameSink sink, LostHandler lost);
    ~V4l2Stream();
    V4l2Stream(const V4l2Stream&) = delete;
    V4l2Stream& operator=(const V4l2Stream&) = delete;

    // True once the capture thread has stopped because the device failed.
    bool Lost() const { return lost_; }
    size_t BufferCount() const { return bufferCount_; }

private:
    V4l2Stream(V4l2DeviceOps& ops, int fd, std::string deviceName, CaptureDriver::FrameSink sink, LostHandler lost);
    bool SetUp();
    void Run();
    // False when the device failed; the thread then ends.
    bool CaptureOne();
    void Deliver(const v4l2_buffer& buffer);
    void Lose(int error);
    void ReleaseBuffers();

    V4l2DeviceOps& ops_;
    const int fd_;
    const std::string deviceName_;
    const CaptureDriver::FrameSink sink_;
    const LostHandler lostHandler_;
    std::vector<V4l2Mapping> buffers_; // the capture thread's while it runs
    size_t bufferCount_ = 0;           // buffers the device holds (REQBUFS)
    bool streaming_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> lost_{false};
    std::thread thread_;
};

} // namespace brightowl

#pragma once

#include "capture/CaptureDriver.h"
#include "capture/V4l2DeviceOps.h"

#include <linux/videodev2.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace brightowl::test {

// One pixel format a simulated camera offers: discrete sizes, or one stepwise range.
struct SimulatedFormat
{
    uint32_t fourcc = V4L2_PIX_FMT_YUYV;
    std::string description;
    std::vector<FrameSize> sizes;
    std::optional<v4l2_frmsize_stepwise> range;
    std::vector<FrameInterval> intervals = {{1, 30}, {1, 15}};
};

// One video node of the simulated system, matched by its file name ("video0") in any folder.
struct SimulatedNode
{
    std::string name = "video0";
    std::string card = "Simulated Camera";
    std::string driver = "simcam";
    uint32_t version = (6u << 16) | (1u << 8) | 55u;
    uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
    uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<SimulatedFormat> formats;
    uint32_t minBuffers = 2;    // REQBUFS raises a smaller request to this
    int streamOnError = 0;      // non-zero: STREAMON fails with it (a camera without USB bandwidth)
    int unplugAfterFrames = -1; // the camera goes away after delivering this many frames
    int unplugError = ENODEV;   // what a gone camera answers
    bool eagerPoll = false;     // poll reports a frame before it is there (dequeue answers EAGAIN)
    // Changes what a dequeue reports, as a faulty driver might (bytesused, flags); called under the lock.
    std::function<void(v4l2_buffer&)> tamper;
};

// A whole machine's worth of V4L2 nodes behind the device-operations table, for the driver and for
// libv4lconvert alike. Cameras fill their buffers with KnownPicture (MJPEG: that picture encoded
// with TurboJPEG) and deliver one frame every FrameGap. Thread-safe like the kernel.
class SimulatedV4l2Device final : public V4l2DeviceOps
{
public:
    struct Rgb
    {
        uint8_t r, g, b;
    };

    SimulatedV4l2Device();
    ~SimulatedV4l2Device() override;

    // A camera with YUYV (640x480, 1280x720) and MJPEG (320x240, 640x480, 1280x720), each at 30
    // and 15 frames a second, brightness, white balance, power-line frequency, a pan reset and a
    // manual focus that is refused while the automatic focus is on.
    static SimulatedNode Camera(const std::string& name, const std::string& card);
    // The metadata node that a UVC camera has beside its video node.
    static SimulatedNode MetadataNode(const std::string& name, const std::string& card);

    void AddNode(SimulatedNode node);
    void SetFrameGap(std::chrono::microseconds gap);
    // The next count ioctls fail with error (EINTR: interrupted by a signal).
    void FailNextIoctls(int count, int error);
    // The camera disappears now, as when its cable is pulled.
    void Unplug(const std::string& name);

    // The picture every camera shows: four quadrants, red, green / blue, white.
    static Rgb KnownColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height);

    // What a test looks at.
    int OpenDescriptors() const;
    size_t MappedBuffers() const;
    uint64_t FramesDelivered(const std::string& name) const;
    uint32_t StreamOnCount(const std::string& name) const;
    bool Streaming(const std::string& name) const;
    v4l2_pix_format Format(const std::string& name) const;
    v4l2_fract TimePerFrame(const std::string& name) const;
    int32_t ControlValue(const std::string& name, uint32_t id) const;
    int ButtonPresses(const std::string& name, uint32_t id) const;
    // The bytes a camera's buffers hold for its current format.
    std::vector<uint8_t> Picture(const std::string& name) const;

    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    void* Mmap(size_t length, int protection, int flags, int fd, off_t offset) override;
    int Munmap(void* address, size_t length) override;
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;

protected:
    int IoctlOnce(int fd, unsigned long request, void* argument) override;

private:
    struct Node;
    struct Control;

    Node* NodeOf(int fd) const;
    Node& Named(const std::string& name) const;
    int Dispatch(Node& node, int fd, unsigned long request, void* argument);
    int ControlIoctl(Node& node, unsigned long request, void* argument);
    int BufferIoctl(Node& node, int fd, unsigned long request, void* argument);
    int Dequeue(Node& node, v4l2_buffer& buffer);
    bool FrameReady(const Node& node) const;
    void Fit(const Node& node, v4l2_pix_format& pix) const;
    void Fill(Node& node);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Node>> nodes_;
    std::map<int, Node*> open_;
    int nextFd_ = 1000;
    int failCount_ = 0;
    int failError_ = 0;
    std::chrono::microseconds frameGap_{2000};
};

} // namespace brightowl::test

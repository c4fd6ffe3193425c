#include "capture/V4l2Stream.h"

#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

namespace brightowl {

namespace {

// How long one poll waits before the thread looks at its stop flag again.
constexpr int kPollMs = 50;
constexpr uint32_t kMinBuffers = 2;

int64_t TimestampUs(const v4l2_buffer& buffer)
{
    const bool monotonic = (buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    if (monotonic && (buffer.timestamp.tv_sec != 0 || buffer.timestamp.tv_usec != 0)) {
        // CLOCK_MONOTONIC, the clock behind std::chrono::steady_clock on Linux.
        return int64_t{buffer.timestamp.tv_sec} * 1000000 + buffer.timestamp.tv_usec;
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

v4l2_buffer MmapBuffer(uint32_t index = 0)
{
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

} // namespace

V4l2Mapping::~V4l2Mapping()
{
    if (address_ != nullptr) {
        ops_->Munmap(address_, length_);
    }
}

V4l2Mapping::V4l2Mapping(V4l2Mapping&& other) noexcept
    : ops_(other.ops_), address_(std::exchange(other.address_, nullptr)), length_(other.length_)
{
}

V4l2Stream::V4l2Stream(V4l2DeviceOps& ops, int fd, std::string deviceName, CaptureDriver::FrameSink sink,
                       LostHandler lost)
    : ops_(ops), fd_(fd), deviceName_(std::move(deviceName)), sink_(std::move(sink)), lostHandler_(std::move(lost))
{
}

std::unique_ptr<V4l2Stream> V4l2Stream::Start(V4l2DeviceOps& ops, int fd, std::string deviceName,
                                              CaptureDriver::FrameSink sink, LostHandler lost)
{
    std::unique_ptr<V4l2Stream> stream(
        new V4l2Stream(ops, fd, std::move(deviceName), std::move(sink), std::move(lost)));
    if (!stream->SetUp()) {
        return nullptr; // the destructor gives back what SetUp took
    }
    try {
        stream->thread_ = std::thread(&V4l2Stream::Run, stream.get());
    } catch (const std::system_error&) {
        return nullptr;
    }
    return stream;
}

bool V4l2Stream::SetUp()
{
    v4l2_requestbuffers request{};
    request.count = kMinBuffers;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (ops_.Ioctl(fd_, VIDIOC_REQBUFS, &request) != 0) {
        return false;
    }
    bufferCount_ = request.count;
    if (request.count < kMinBuffers) {
        return false;
    }
    buffers_.reserve(request.count);
    for (uint32_t index = 0; index < request.count; ++index) {
        v4l2_buffer buffer = MmapBuffer(index);
        if (ops_.Ioctl(fd_, VIDIOC_QUERYBUF, &buffer) != 0) {
            return false;
        }
        void* address = ops_.Mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buffer.m.offset);
        if (address == MAP_FAILED) {
            return false;
        }
        buffers_.emplace_back(ops_, address, buffer.length);
        if (ops_.Ioctl(fd_, VIDIOC_QBUF, &buffer) != 0) {
            return false;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ops_.Ioctl(fd_, VIDIOC_STREAMON, &type) != 0) {
        return false;
    }
    streaming_ = true;
    return true;
}

V4l2Stream::~V4l2Stream()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (lost_) {
        return; // the device has gone: the thread gave the buffers back, the owner closes the descriptor
    }
    if (streaming_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ops_.Ioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
    ReleaseBuffers();
}

void V4l2Stream::ReleaseBuffers()
{
    buffers_.clear();
    if (bufferCount_ > 0) {
        // The kernel frees its buffers only once they are no longer mapped.
        v4l2_requestbuffers none{};
        none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        none.memory = V4L2_MEMORY_MMAP;
        ops_.Ioctl(fd_, VIDIOC_REQBUFS, &none);
        bufferCount_ = 0;
    }
}

void V4l2Stream::Run()
{
    while (!stop_) {
        if (!CaptureOne()) {
            return;
        }
    }
}

bool V4l2Stream::CaptureOne()
{
    pollfd wait{fd_, POLLIN, 0};
    const int ready = ops_.Poll(&wait, 1, kPollMs);
    if (ready < 0 && errno != EINTR) {
        Lose(errno);
        return false;
    }
    if (ready <= 0) {
        return true;
    }
    v4l2_buffer buffer = MmapBuffer();
    if (ops_.Ioctl(fd_, VIDIOC_DQBUF, &buffer) != 0) {
        if (errno != EAGAIN) {
            Lose(errno);
            return false;
        }
        // Readable but no frame yet. A device that reports an error condition while still
        // answering EAGAIN is given a moment instead of being polled in a tight loop.
        if ((wait.revents & (POLLERR | POLLHUP)) != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return true;
    }
    Deliver(buffer);
    if (ops_.Ioctl(fd_, VIDIOC_QBUF, &buffer) != 0) {
        Lose(errno);
        return false;
    }
    return true;
}

void V4l2Stream::Deliver(const v4l2_buffer& buffer)
{
    if (buffer.index >= buffers_.size() || (buffer.flags & V4L2_BUF_FLAG_ERROR) != 0) {
        return; // a frame the driver marks as damaged is dropped, its buffer still queued again
    }
    const V4l2Mapping& mapping = buffers_[buffer.index];
    // bytesused is the driver's word; it never reaches past the mapping.
    const uint32_t bytes = std::min<uint32_t>(buffer.bytesused, static_cast<uint32_t>(mapping.Length()));
    if (bytes == 0) {
        return;
    }
    FrameHeader frame;
    frame.data = mapping.Data();
    frame.bytesUsed = bytes;
    frame.bufferLength = static_cast<uint32_t>(mapping.Length());
    frame.timestampUs = TimestampUs(buffer);
    sink_(frame);
}

void V4l2Stream::Lose(int error)
{
    // Logged once: the thread ends here and the descriptor is closed, so nothing repeats it.
    std::fprintf(stderr, "brightowl: camera \"%s\" stopped delivering frames (%s); connect it again to resume\n",
                 deviceName_.c_str(), std::strerror(error));
    lost_ = true;
    buffers_.clear();
    bufferCount_ = 0;
    if (lostHandler_) {
        lostHandler_();
    }
}

} // namespace brightowl

#include "capture/V4l2Driver.h"

#include "capture/Decompressor.h"
#include "capture/V4l2Queries.h"
#include "capture/V4l2Stream.h"
#include "capture/V4lConvertDecompressor.h"

#include <fcntl.h>

#include <cstring>

namespace brightowl {

namespace {

v4l2_format CaptureFormat()
{
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return format;
}

v4l2_streamparm CaptureParameters()
{
    v4l2_streamparm parameters{};
    parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return parameters;
}

// Bits per pixel as a bitmap header states them; compressed formats count as 24-bit pictures.
uint16_t BitCount(const v4l2_pix_format& pix)
{
    switch (pix.pixelformat) {
    case V4L2_PIX_FMT_GREY:
        return 8;
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_NV21:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
        return 12;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return 24;
    default:
        break;
    }
    if (pix.width > 0 && pix.bytesperline > 0) {
        return static_cast<uint16_t>(pix.bytesperline * 8 / pix.width);
    }
    return 24;
}

} // namespace

V4l2Driver::V4l2Driver(V4l2DeviceOps& ops, V4l2DeviceInfo device) : ops_(ops), device_(std::move(device)) {}

V4l2Driver::~V4l2Driver()
{
    Close();
}

std::string V4l2Driver::Name() const
{
    return device_.card;
}

std::string V4l2Driver::Version() const
{
    return V4l2VersionText(device_.version);
}

bool V4l2Driver::Open()
{
    Close();
    V4l2Fd fd(ops_, ops_.Open(device_.path, O_RDWR | O_NONBLOCK));
    if (!fd.Valid()) {
        return false;
    }
    v4l2_capability caps{};
    if (ops_.Ioctl(fd.Get(), VIDIOC_QUERYCAP, &caps) != 0) {
        return false;
    }
    const uint32_t nodeCaps = V4l2NodeCaps(caps);
    if ((nodeCaps & V4L2_CAP_VIDEO_CAPTURE) == 0 || (nodeCaps & V4L2_CAP_STREAMING) == 0) {
        return false;
    }
    v4l2_format format = CaptureFormat();
    if (ops_.Ioctl(fd.Get(), VIDIOC_G_FMT, &format) != 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    format_ = format;
    fd_ = std::move(fd);
    lost_ = false;
    return true;
}

void V4l2Driver::Close()
{
    Stop();
    std::lock_guard lock(mutex_);
    fd_.Reset();
}

bool V4l2Driver::IsOpen() const
{
    std::lock_guard lock(mutex_);
    return fd_.Valid() && !lost_;
}

std::vector<uint8_t> V4l2Driver::VideoFormat() const
{
    std::lock_guard lock(mutex_);
    const v4l2_pix_format& pix = format_.fmt.pix;
    if (pix.width == 0) {
        return {};
    }
    BitmapInfoHeader header;
    header.biWidth = static_cast<int32_t>(pix.width);
    header.biHeight = static_cast<int32_t>(pix.height);
    header.biBitCount = BitCount(pix);
    header.biCompression = pix.pixelformat;
    header.biSizeImage = pix.sizeimage;
    const V4l2FormatTail tail{pix.bytesperline, pix.sizeimage, pix.field, pix.colorspace};
    std::vector<uint8_t> block(sizeof header + sizeof tail);
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, &tail, sizeof tail);
    return block;
}

std::unique_ptr<Decompressor> V4l2Driver::LocateDecompressor(const BitmapInfoHeader& input,
                                                             const BitmapInfoHeader& output)
{
    // libv4lconvert works on the camera's own descriptor, through the same device operations, so
    // that it knows the camera (its formats, and the per-model fixes it keeps, such as upside-down
    // sensors) as the driver does.
    std::lock_guard lock(mutex_);
    if (!fd_.Valid()) {
        return nullptr;
    }
    return CreateV4lConvertDecompressor(input, output, fd_.Get(), &ops_, V4lConvertDeviceTable());
}

bool V4l2Driver::Start(FrameSink sink)
{
    if (stream_ != nullptr && !stream_->Lost()) {
        return true;
    }
    Stop();
    int fd = -1;
    {
        std::lock_guard lock(mutex_);
        if (!fd_.Valid() || lost_) {
            return false;
        }
        fd = fd_.Get();
    }
    stream_ = V4l2Stream::Start(ops_, fd, device_.card, sink, [this] { OnLost(); });
    if (stream_ == nullptr) {
        return false;
    }
    sink_ = std::move(sink);
    return true;
}

void V4l2Driver::Stop()
{
    // Never under mutex_: the capture thread may be waiting for it to close the descriptor.
    stream_.reset();
    sink_ = nullptr;
}

void V4l2Driver::OnLost()
{
    std::lock_guard lock(mutex_);
    lost_ = true;
    fd_.Reset();
}

std::vector<PixelFormatChoice> V4l2Driver::PixelFormats() const
{
    std::lock_guard lock(mutex_);
    return fd_.Valid() ? QueryV4l2PixelFormats(ops_, fd_.Get()) : std::vector<PixelFormatChoice>{};
}

std::vector<FrameInterval> V4l2Driver::FrameIntervals(uint32_t fourcc, FrameSize size) const
{
    std::lock_guard lock(mutex_);
    return fd_.Valid() ? QueryV4l2FrameIntervals(ops_, fd_.Get(), fourcc, size) : std::vector<FrameInterval>{};
}

VideoMode V4l2Driver::CurrentMode() const
{
    std::lock_guard lock(mutex_);
    v4l2_format format = format_;
    v4l2_streamparm parameters = CaptureParameters();
    VideoMode mode;
    if (fd_.Valid()) {
        if (ops_.Ioctl(fd_.Get(), VIDIOC_G_FMT, &format) != 0) {
            format = format_;
        }
        const v4l2_fract& perFrame = parameters.parm.capture.timeperframe;
        if (ops_.Ioctl(fd_.Get(), VIDIOC_G_PARM, &parameters) == 0 && perFrame.numerator != 0 &&
            perFrame.denominator != 0) {
            mode.interval = {perFrame.numerator, perFrame.denominator};
        }
    }
    mode.fourcc = format.fmt.pix.pixelformat;
    mode.size = {format.fmt.pix.width, format.fmt.pix.height};
    return mode;
}

bool V4l2Driver::SetMode(const VideoMode& mode)
{
    // The device refuses a new format while it holds buffers (EBUSY): a running preview is
    // stopped for the change and started again with the same sink.
    FrameSink sink = sink_;
    const bool wasRunning = stream_ != nullptr && !stream_->Lost();
    Stop();
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        if (fd_.Valid() && !lost_) {
            v4l2_format format = CaptureFormat();
            format.fmt.pix.width = mode.size.width;
            format.fmt.pix.height = mode.size.height;
            format.fmt.pix.pixelformat = mode.fourcc;
            format.fmt.pix.field = V4L2_FIELD_ANY;
            changed = ops_.Ioctl(fd_.Get(), VIDIOC_S_FMT, &format) == 0;
            if (changed) {
                format_ = format; // what the driver chose, which may differ from the request
            }
        }
    }
    if (changed) {
        SetInterval(mode.interval);
    }
    if (wasRunning) {
        Start(std::move(sink));
    }
    return changed;
}

bool V4l2Driver::SetInterval(FrameInterval interval)
{
    std::lock_guard lock(mutex_);
    v4l2_streamparm parameters = CaptureParameters();
    if (interval.numerator == 0 || interval.denominator == 0 ||
        ops_.Ioctl(fd_.Get(), VIDIOC_G_PARM, &parameters) != 0 ||
        (parameters.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) == 0) {
        return false; // a device without frame-rate control runs at its own rate
    }
    parameters.parm.capture.timeperframe = {interval.numerator, interval.denominator};
    return ops_.Ioctl(fd_.Get(), VIDIOC_S_PARM, &parameters) == 0;
}

std::vector<ControlInfo> V4l2Driver::Controls() const
{
    std::lock_guard lock(mutex_);
    return fd_.Valid() ? QueryV4l2Controls(ops_, fd_.Get()) : std::vector<ControlInfo>{};
}

bool V4l2Driver::SetControl(uint32_t id, int32_t value)
{
    std::lock_guard lock(mutex_);
    if (!fd_.Valid()) {
        return false;
    }
    v4l2_control control{id, value};
    return ops_.Ioctl(fd_.Get(), VIDIOC_S_CTRL, &control) == 0;
}

} // namespace brightowl

#include "capture/V4lConvertDecompressor.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace brightowl {
namespace {

// libv4lconvert asks the device what it is before it converts anything, and refuses to start when
// VIDIOC_QUERYCAP fails. For frames that come from elsewhere (the test pattern) this stand-in answers
// that one question as a plain capture device and refuses every other request.
int StandInIoctl(void*, int, unsigned long int request, void* arg)
{
    if (request == VIDIOC_QUERYCAP) {
        auto* caps = static_cast<v4l2_capability*>(arg);
        std::memset(caps, 0, sizeof *caps);
        std::strncpy(reinterpret_cast<char*>(caps->driver), "brightowl", sizeof caps->driver - 1);
        std::strncpy(reinterpret_cast<char*>(caps->card), "converter", sizeof caps->card - 1);
        caps->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
        caps->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        return 0;
    }
    errno = EINVAL;
    return -1;
}

ssize_t StandInRead(void*, int, void*, size_t)
{
    errno = EINVAL;
    return -1;
}

ssize_t StandInWrite(void*, int, const void*, size_t)
{
    errno = EINVAL;
    return -1;
}

const libv4l_dev_ops kStandInOps = {nullptr, nullptr, StandInIoctl, StandInRead, StandInWrite, nullptr,
                                    nullptr, nullptr, nullptr,      nullptr,     nullptr,      nullptr};

// The input formats handed to libv4lconvert; it converts more, but these are the ones cameras send.
bool IsConvertible(uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_GREY:
        return true;
    default:
        return false;
    }
}

uint32_t InputBytesPerLine(uint32_t fourcc, uint32_t width)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
        return 2 * width;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return 3 * width;
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_GREY:
        return width;
    default:
        return 0; // compressed
    }
}

// Owns one libv4lconvert context; converts on the thread that calls Decompress.
class V4lConvertDecompressor : public Decompressor
{
public:
    V4lConvertDecompressor(v4lconvert_data* data, const BitmapInfoHeader& in, const BitmapInfoHeader& out)
        : data_(data), out_(out)
    {
        width_ = static_cast<uint32_t>(in.biWidth);
        height_ = static_cast<uint32_t>(in.biHeight < 0 ? -in.biHeight : in.biHeight);
        std::memset(&source_, 0, sizeof source_);
        source_.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        source_.fmt.pix.width = width_;
        source_.fmt.pix.height = height_;
        source_.fmt.pix.pixelformat = in.biCompression;
        source_.fmt.pix.field = V4L2_FIELD_NONE;
        source_.fmt.pix.bytesperline = InputBytesPerLine(in.biCompression, width_);
        source_.fmt.pix.sizeimage = in.biSizeImage;
        destination_ = source_;
        destination_.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
        destination_.fmt.pix.bytesperline = 3 * width_;
        destination_.fmt.pix.sizeimage = 3 * width_ * height_;
        topDown_.resize(destination_.fmt.pix.sizeimage);
        out_.biSize = sizeof(BitmapInfoHeader);
        out_.biHeight = static_cast<int32_t>(height_);
        out_.biBitCount = 24;
        out_.biCompression = kBiRgb;
        out_.biSizeImage = static_cast<uint32_t>(RowStride24(out_.biWidth)) * height_;
    }

    ~V4lConvertDecompressor() override { v4lconvert_destroy(data_); }
    V4lConvertDecompressor(const V4lConvertDecompressor&) = delete;
    V4lConvertDecompressor& operator=(const V4lConvertDecompressor&) = delete;

    std::unique_ptr<DecodedPicture> Decompress(const uint8_t* data, uint32_t bytes) override
    {
        if (data == nullptr || bytes == 0 || bytes > static_cast<uint32_t>(INT32_MAX))
            return nullptr;
        const uint32_t needed = source_.fmt.pix.bytesperline * height_;
        if (needed != 0 && bytes < needed)
            return nullptr; // a short frame of a raw format: libv4lconvert would read past its end
        // libv4lconvert takes a non-const source but only reads it.
        int written = v4lconvert_convert(data_, &source_, &destination_, const_cast<uint8_t*>(data),
                                         static_cast<int>(bytes), topDown_.data(), static_cast<int>(topDown_.size()));
        if (written < 0 || static_cast<size_t>(written) < topDown_.size())
            return nullptr;
        return Flip();
    }

private:
    // libv4lconvert writes the top row first; the picture wants the bottom row first, padded to 4 bytes.
    std::unique_ptr<DecodedPicture> Flip() const
    {
        const size_t stride = static_cast<size_t>(RowStride24(out_.biWidth));
        const size_t rowBytes = 3 * static_cast<size_t>(width_);
        auto block =
            std::make_unique_for_overwrite<uint8_t[]>(sizeof out_ + stride * height_); // every byte is written below
        std::memcpy(block.get(), &out_, sizeof out_);
        uint8_t* rows = block.get() + sizeof out_;
        for (uint32_t y = 0; y < height_; ++y) {
            uint8_t* row = rows + stride * (height_ - 1 - y);
            std::memcpy(row, topDown_.data() + rowBytes * y, rowBytes);
            std::memset(row + rowBytes, 0, stride - rowBytes);
        }
        return std::make_unique<DecodedPicture>(std::move(block));
    }

    v4lconvert_data* data_;
    BitmapInfoHeader out_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    v4l2_format source_;
    v4l2_format destination_;
    std::vector<uint8_t> topDown_; // one converted frame, reused
};

} // namespace

std::unique_ptr<Decompressor> CreateV4lConvertDecompressor(const BitmapInfoHeader& in, const BitmapInfoHeader& out,
                                                           int fd, void* devOpsPriv, const libv4l_dev_ops* devOps)
{
    if (in.biCompression == kBiRgb || !IsConvertible(in.biCompression))
        return nullptr;
    if (in.biWidth <= 0 || in.biHeight == 0 || out.biWidth != in.biWidth ||
        (out.biHeight < 0 ? -out.biHeight : out.biHeight) != (in.biHeight < 0 ? -in.biHeight : in.biHeight))
        return nullptr;
    if (devOps == nullptr) {
        devOps = &kStandInOps;
        devOpsPriv = nullptr;
    }
    v4lconvert_data* data = v4lconvert_create_with_dev_ops(fd, devOpsPriv, devOps);
    if (data == nullptr)
        return nullptr;
    return std::make_unique<V4lConvertDecompressor>(data, in, out);
}

} // namespace brightowl

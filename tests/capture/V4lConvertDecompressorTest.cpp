#include "capture/V4lConvertDecompressor.h"
#include "capture/TestPatternRenderer.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <linux/videodev2.h>
#include <ostream>
#include <string>

namespace brightowl {
namespace {

constexpr uint32_t kWidth = 320;
constexpr uint32_t kHeight = 240;

BitmapInfoHeader Input(uint32_t fourcc, uint16_t bits)
{
    BitmapInfoHeader header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biBitCount = bits;
    header.biCompression = fourcc;
    return header;
}

BitmapInfoHeader Output()
{
    BitmapInfoHeader header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biBitCount = 24;
    header.biCompression = kBiRgb;
    header.biXPelsPerMeter = 1280;
    header.biYPelsPerMeter = 1280;
    return header;
}

// The test pattern's 24-bit frame is the reference picture: bottom row first.
std::vector<uint8_t> Render(uint32_t fourcc)
{
    TestPatternRenderer renderer;
    std::vector<uint8_t> frame;
    renderer.Render({fourcc, {kWidth, kHeight}, {1, 30}}, 77, TestPattern::ColourBars, 0, "12:34:56", frame);
    return frame;
}

// The frame's rows in the other order (top row first), as V4L2 devices send packed RGB.
std::vector<uint8_t> FlipRows(const std::vector<uint8_t>& frame, size_t stride)
{
    std::vector<uint8_t> flipped(frame.size());
    const size_t rows = frame.size() / stride;
    for (size_t y = 0; y < rows; ++y)
        std::memcpy(flipped.data() + y * stride, frame.data() + (rows - 1 - y) * stride, stride);
    return flipped;
}

struct FormatCase
{
    const char* name;
    uint32_t fourcc;
    uint16_t bits;
    // Mean absolute difference per byte against the 24-bit reference; libv4lconvert turns YUV into
    // RGB with coarse integer factors (2 for blue, 1.5 for red), a few levels off BT.601.
    double tolerance;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<uint8_t> FrameIn(const FormatCase& c)
{
    const std::vector<uint8_t> bgr = Render(kBiRgb);
    const size_t stride = 3 * kWidth;
    switch (c.fourcc) {
    case V4L2_PIX_FMT_YUYV:
        return Render(kFourCcYuyv);
    case V4L2_PIX_FMT_UYVY: {
        std::vector<uint8_t> frame = Render(kFourCcYuyv);
        for (size_t i = 0; i + 1 < frame.size(); i += 2)
            std::swap(frame[i], frame[i + 1]);
        return frame;
    }
    case V4L2_PIX_FMT_BGR24:
        return FlipRows(bgr, stride);
    case V4L2_PIX_FMT_RGB24: {
        std::vector<uint8_t> frame = FlipRows(bgr, stride);
        for (size_t i = 0; i + 2 < frame.size(); i += 3)
            std::swap(frame[i], frame[i + 2]);
        return frame;
    }
    case V4L2_PIX_FMT_MJPEG: {
        tjhandle handle = tjInitCompress();
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, bgr.data(), kWidth, 0, kHeight, TJPF_BGR, &jpeg, &size, TJSAMP_422, 95, TJFLAG_BOTTOMUP);
        std::vector<uint8_t> frame(jpeg, jpeg + size);
        tjFree(jpeg);
        tjDestroy(handle);
        return frame;
    }
    default:
        return {};
    }
}

class DecompressFormatTest : public testing::TestWithParam<FormatCase>
{
};

// Every camera format comes out as the same upright picture: bottom row first, rows padded to 4.
TEST_P(DecompressFormatTest, DecodesToTheBottomUpReferencePicture)
{
    const FormatCase& c = GetParam();
    auto decompressor = CreateV4lConvertDecompressor(Input(c.fourcc, c.bits), Output());
    ASSERT_NE(decompressor, nullptr);
    const std::vector<uint8_t> frame = FrameIn(c);
    auto picture = decompressor->Decompress(frame.data(), static_cast<uint32_t>(frame.size()));
    ASSERT_NE(picture, nullptr);
    const BitmapInfoHeader header = picture->Header();
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, static_cast<int32_t>(kWidth));
    EXPECT_EQ(header.biHeight, static_cast<int32_t>(kHeight));
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, kBiRgb);

    const std::vector<uint8_t> reference = Render(kBiRgb);
    double difference = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        difference += std::abs(int{picture->Rows()[i]} - int{reference[i]});
    EXPECT_LE(difference / static_cast<double>(reference.size()), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecompressFormatTest,
                         testing::Values(FormatCase{"yuyv", V4L2_PIX_FMT_YUYV, 16, 8.0},
                                         FormatCase{"uyvy", V4L2_PIX_FMT_UYVY, 16, 8.0},
                                         FormatCase{"bgr24TopDown", V4L2_PIX_FMT_BGR24, 24, 0.0},
                                         FormatCase{"rgb24TopDown", V4L2_PIX_FMT_RGB24, 24, 0.0},
                                         FormatCase{"mjpeg", V4L2_PIX_FMT_MJPEG, 24, 4.0}),
                         [](const testing::TestParamInfo<FormatCase>& param) { return std::string(param.param.name); });

TEST(V4lConvertDecompressor, NoneForTwentyFourBitRowsOrFormatsItDoesNotKnow)
{
    EXPECT_EQ(CreateV4lConvertDecompressor(Input(kBiRgb, 24), Output()), nullptr);
    EXPECT_EQ(CreateV4lConvertDecompressor(Input(FourCc('X', 'X', 'X', 'X'), 16), Output()), nullptr);
    BitmapInfoHeader otherSize = Output();
    otherSize.biWidth = 640;
    EXPECT_EQ(CreateV4lConvertDecompressor(Input(V4L2_PIX_FMT_YUYV, 16), otherSize), nullptr);
}

TEST(V4lConvertDecompressor, AShortOrBrokenFrameGivesNoPicture)
{
    auto yuyv = CreateV4lConvertDecompressor(Input(V4L2_PIX_FMT_YUYV, 16), Output());
    ASSERT_NE(yuyv, nullptr);
    std::vector<uint8_t> shortFrame(2 * kWidth * kHeight - 2, 0x80);
    shortFrame.shrink_to_fit();
    EXPECT_EQ(yuyv->Decompress(shortFrame.data(), static_cast<uint32_t>(shortFrame.size())), nullptr);
    EXPECT_EQ(yuyv->Decompress(nullptr, 0), nullptr);

    auto mjpeg = CreateV4lConvertDecompressor(Input(V4L2_PIX_FMT_MJPEG, 24), Output());
    ASSERT_NE(mjpeg, nullptr);
    std::vector<uint8_t> garbage(5000, 0x42);
    EXPECT_EQ(mjpeg->Decompress(garbage.data(), static_cast<uint32_t>(garbage.size())), nullptr);
}

TEST(V4lConvertDecompressor, OddWidthsGetPaddedRows)
{
    BitmapInfoHeader in = Input(V4L2_PIX_FMT_RGB24, 24);
    in.biWidth = 5;
    in.biHeight = 3;
    BitmapInfoHeader out = Output();
    out.biWidth = 5;
    out.biHeight = 3;
    auto decompressor = CreateV4lConvertDecompressor(in, out);
    ASSERT_NE(decompressor, nullptr);
    std::vector<uint8_t> frame(5 * 3 * 3);
    for (size_t row = 0; row < 3; ++row)
        for (size_t i = 0; i < 15; ++i)
            frame[row * 15 + i] = static_cast<uint8_t>(10 * row + 1); // top row 1, then 11, 21
    auto picture = decompressor->Decompress(frame.data(), static_cast<uint32_t>(frame.size()));
    ASSERT_NE(picture, nullptr);
    const uint8_t* rows = picture->Rows();
    EXPECT_EQ(rows[0], 21);  // bottom row first
    EXPECT_EQ(rows[16], 11); // 15 bytes and one pad byte per row
    EXPECT_EQ(rows[32], 1);
}

} // namespace
} // namespace brightowl

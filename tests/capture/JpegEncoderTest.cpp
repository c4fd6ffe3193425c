#include "capture/JpegEncoder.h"
#include "tests/capture/JpegTestUtil.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace brightowl {
namespace {

using test::DecodeJpeg;
using test::IsBlue;
using test::IsRed;
using test::TwoTonePicture;

struct PadCase
{
    const char* name;
    int32_t width;
    int32_t padBytes;
};

void PrintTo(const PadCase& c, std::ostream* os)
{
    *os << c.name << " (width " << c.width << ")";
}

class PadBytesTest : public testing::TestWithParam<PadCase>
{
};

// The pad bytes filling each row are skipped: the pads hold 0xEE and must not show in the picture.
TEST_P(PadBytesTest, RowsArePaddedToFourBytesAndThePadIsNeverEncoded)
{
    const PadCase& c = GetParam();
    EXPECT_EQ(RowPadBytes24(c.width), c.padBytes);
    EXPECT_EQ(RowStride24(c.width), 3 * c.width + c.padBytes);

    TwoTonePicture picture(c.width, 16);
    std::vector<uint8_t> out(64 * 1024);
    const JpegResult result =
        EncodeJpegPicture(picture.header, picture.rows.data(), out.data(), static_cast<int32_t>(out.size()), 90);
    ASSERT_GT(result.size, 0);
    const auto decoded = DecodeJpeg(out.data(), static_cast<size_t>(result.size));
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.width, c.width);
    for (int x = 0; x < c.width; ++x) {
        EXPECT_TRUE(IsRed(decoded.Pixel(x, 0))) << "x " << x;
        EXPECT_TRUE(IsBlue(decoded.Pixel(x, 15))) << "x " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, PadBytesTest,
                         testing::Values(PadCase{"one", 1, 1}, PadCase{"two", 2, 2}, PadCase{"three", 3, 3},
                                         PadCase{"four", 4, 0}, PadCase{"hundredSixty", 160, 0},
                                         PadCase{"hundredSixtyOne", 161, 1}),
                         [](const testing::TestParamInfo<PadCase>& param) { return std::string(param.param.name); });

struct SizeCase
{
    const char* name;
    int32_t width;
    int32_t height;
    bool bottomUp;
};

void PrintTo(const SizeCase& c, std::ostream* os)
{
    *os << c.name << " " << c.width << "x" << c.height << (c.bottomUp ? " bottom-up" : " top-down");
}

class EncodeSizeTest : public testing::TestWithParam<SizeCase>
{
};

// Upright, three components, 2x2 chroma subsampling, for every row order and awkward size.
TEST_P(EncodeSizeTest, WritesAnUprightYcbcr420Jpeg)
{
    const SizeCase& c = GetParam();
    TwoTonePicture picture(c.width, c.height, c.bottomUp);
    std::vector<uint8_t> out(64 * 1024);
    const JpegResult result =
        EncodeJpegPicture(picture.header, picture.rows.data(), out.data(), static_cast<int32_t>(out.size()), 90);
    ASSERT_GT(result.size, 0);
    const auto decoded = DecodeJpeg(out.data(), static_cast<size_t>(result.size));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, c.width);
    EXPECT_EQ(decoded.height, c.height);
    EXPECT_EQ(decoded.subsampling, TJSAMP_420);
    EXPECT_EQ(decoded.colorspace, TJCS_YCbCr);
    if (c.height >= 4) {
        EXPECT_TRUE(IsRed(decoded.Pixel(c.width / 2, 0)));
        EXPECT_TRUE(IsBlue(decoded.Pixel(c.width / 2, c.height - 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, EncodeSizeTest,
                         testing::Values(SizeCase{"onePixel", 1, 1, true}, SizeCase{"twoByTwo", 2, 2, true},
                                         SizeCase{"seventeen", 17, 17, true}, SizeCase{"oddWidth", 33, 8, true},
                                         SizeCase{"oddTopDown", 17, 17, false}, SizeCase{"wide", 641, 5, true},
                                         SizeCase{"topDown", 64, 48, false}),
                         [](const testing::TestParamInfo<SizeCase>& param) { return std::string(param.param.name); });

// The same settings as libjpeg-turbo's own TurboJPEG front end: identical bytes at every quality,
// which shows the quality reaches the library unchanged, 0 and 100 included.
TEST(EncodeJpegPicture, MatchesTurboJpegByteForByteAtEveryQuality)
{
    TwoTonePicture picture(48, 40);
    tjhandle handle = tjInitCompress();
    ASSERT_NE(handle, nullptr);
    for (int quality : {0, 1, 35, 90, 100}) {
        std::vector<uint8_t> ours(64 * 1024);
        const JpegResult result = EncodeJpegPicture(picture.header, picture.rows.data(), ours.data(),
                                                    static_cast<int32_t>(ours.size()), quality);
        ASSERT_GT(result.size, 0);
        unsigned char* theirs = nullptr;
        unsigned long theirSize = 0;
        ASSERT_EQ(tjCompress2(handle, picture.rows.data(), 48, RowStride24(48), 40, TJPF_BGR, &theirs, &theirSize,
                              TJSAMP_420, quality == 0 ? 1 : quality, TJFLAG_BOTTOMUP),
                  0);
        EXPECT_EQ(std::vector<uint8_t>(ours.begin(), ours.begin() + result.size),
                  std::vector<uint8_t>(theirs, theirs + theirSize))
            << "quality " << quality;
        tjFree(theirs);
    }
    tjDestroy(handle);
}

// The capacity is a hard limit: a JPEG that does not fit fails the write stage and not one byte is
// written past the capacity (AddressSanitizer would also catch an overrun of the exact-size buffer).
TEST(EncodeJpegPicture, AJpegLargerThanTheCapacityFailsWithoutWritingPastIt)
{
    for (const auto& [w, h] : {std::pair{1, 1}, {2, 2}, {17, 17}, {3, 5}}) {
        TwoTonePicture picture(w, h);
        const int32_t capacity = w * h * 4;
        std::vector<uint8_t> guarded(static_cast<size_t>(capacity) + 1024, 0xA5);
        const JpegResult result = EncodeJpegPicture(picture.header, picture.rows.data(), guarded.data(), capacity, 90);
        if (result.size < 0) {
            EXPECT_EQ(result.failedStage, 1) << w << "x" << h;
        } else {
            EXPECT_LE(result.size, capacity);
        }
        for (size_t i = static_cast<size_t>(capacity); i < guarded.size(); ++i)
            ASSERT_EQ(guarded[i], 0xA5) << w << "x" << h << " byte " << i;
        auto exact = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
        EncodeJpegPicture(picture.header, picture.rows.data(), exact.get(), capacity, 90);
    }
    TwoTonePicture tiny(2, 2);
    uint8_t out[16];
    EXPECT_EQ(EncodeJpegPicture(tiny.header, tiny.rows.data(), out, sizeof out, 35).size, -1);
}

TEST(EncodeJpegPicture, AJpegThatFitsExactlySucceeds)
{
    TwoTonePicture picture(64, 48);
    std::vector<uint8_t> out(64 * 1024);
    const JpegResult roomy =
        EncodeJpegPicture(picture.header, picture.rows.data(), out.data(), static_cast<int32_t>(out.size()), 50);
    ASSERT_GT(roomy.size, 0);
    std::vector<uint8_t> exact(static_cast<size_t>(roomy.size));
    EXPECT_EQ(EncodeJpegPicture(picture.header, picture.rows.data(), exact.data(), roomy.size, 50).size, roomy.size);
    EXPECT_EQ(EncodeJpegPicture(picture.header, picture.rows.data(), exact.data(), roomy.size - 1, 50).size, -1);
}

TEST(EncodeJpegPicture, RejectsPicturesItCannotRead)
{
    TwoTonePicture picture(8, 8);
    std::vector<uint8_t> out(4096);
    const auto capacity = static_cast<int32_t>(out.size());
    BitmapInfoHeader noWidth = picture.header;
    noWidth.biWidth = 0;
    BitmapInfoHeader noHeight = picture.header;
    noHeight.biHeight = 0;
    BitmapInfoHeader sixteenBits = picture.header;
    sixteenBits.biBitCount = 16;
    for (const BitmapInfoHeader& header : {noWidth, noHeight, sixteenBits}) {
        const JpegResult result = EncodeJpegPicture(header, picture.rows.data(), out.data(), capacity, 50);
        EXPECT_EQ(result.size, -1);
        EXPECT_EQ(result.failedStage, 0);
    }
    EXPECT_EQ(EncodeJpegPicture(picture.header, nullptr, out.data(), capacity, 50).size, -1);
    EXPECT_EQ(EncodeJpegPicture(picture.header, picture.rows.data(), nullptr, capacity, 50).failedStage, 1);
}

} // namespace
} // namespace brightowl

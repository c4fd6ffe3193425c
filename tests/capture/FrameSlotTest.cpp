#include "capture/CaptureDevice.h"
#include "capture/Decompressor.h"
#include "tests/capture/JpegTestUtil.h"
#include "tests/support/FakeCaptureWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace brightowl {
namespace {

using test::DecodeJpeg;
using test::FakeCaptureWindowFactory;
using test::IsBlue;
using test::IsRed;
using test::TwoTonePicture;

// Decodes nothing when told to fail; otherwise makes a two-tone picture of the format's size.
class ScriptedDecompressor : public Decompressor
{
public:
    ScriptedDecompressor(std::atomic<bool>& fail, int32_t width, int32_t height)
        : fail_(fail), width_(width), height_(height)
    {
    }
    std::unique_ptr<DecodedPicture> Decompress(const uint8_t*, uint32_t) override
    {
        if (fail_)
            return nullptr;
        TwoTonePicture picture(width_, height_);
        auto block = std::make_unique<uint8_t[]>(sizeof(BitmapInfoHeader) + picture.rows.size());
        std::memcpy(block.get(), &picture.header, sizeof picture.header);
        std::memcpy(block.get() + sizeof picture.header, picture.rows.data(), picture.rows.size());
        return std::make_unique<DecodedPicture>(std::move(block));
    }

private:
    std::atomic<bool>& fail_;
    int32_t width_, height_;
};

class FrameSlotTest : public testing::Test
{
protected:
    void Connect(int32_t width, int32_t height, bool withDecompressor = false)
    {
        factory.script.format.biWidth = width;
        factory.script.format.biHeight = height;
        if (withDecompressor) {
            factory.script.format.biCompression = FourCc('Y', 'U', 'Y', 'V');
            factory.script.format.biBitCount = 16;
            factory.script.decompressor = [this, width, height] {
                return std::make_unique<ScriptedDecompressor>(decodeFails, width, height);
            };
        }
        ASSERT_EQ(device.CreateCaptureWindow(nullptr, 0, 90), 0);
        ASSERT_EQ(device.StartStreaming(), 0);
    }
    void Deliver(const std::vector<uint8_t>& bytes)
    {
        const FrameHeader frame{bytes.data(), static_cast<uint32_t>(bytes.size()), static_cast<uint32_t>(bytes.size()),
                                0};
        EXPECT_EQ(factory.window->Deliver(frame), 1);
    }
    std::vector<uint8_t> Take()
    {
        const int32_t length = device.LockFrame();
        std::vector<uint8_t> copy(static_cast<size_t>(std::max(length, 0)));
        device.CopyFrameAndUnlock(copy.data());
        if (length < 0)
            copy.assign(1, 0xFF); // marks -1
        return copy;
    }
    int32_t Length()
    {
        const int32_t length = device.LockFrame();
        device.CopyFrameAndUnlock(nullptr);
        return length;
    }

    std::atomic<bool> decodeFails{false};
    FakeCaptureWindowFactory factory;
    CaptureDevice device{factory};
};

TEST_F(FrameSlotTest, BeforeTheFirstFrameTheSlotIsEmptyAndTheLockIsReleased)
{
    Connect(32, 24);
    EXPECT_EQ(device.LockFrame(), 0);
    uint8_t untouched = 0x5A;
    device.CopyFrameAndUnlock(&untouched);
    EXPECT_EQ(untouched, 0x5A);
    EXPECT_EQ(device.LockFrame(), 0); // a second lock works: the first was released
    device.CopyFrameAndUnlock(nullptr);
}

// A 24-bit driver format needs no decoding: the frame goes to the encoder unchanged, and the JPEG
// in the slot decodes to the same picture, upright.
TEST_F(FrameSlotTest, AnUndecodedFrameIsEncodedIntoTheSlotUpright)
{
    Connect(40, 30);
    TwoTonePicture picture(40, 30);
    Deliver(picture.rows);
    const std::vector<uint8_t> jpeg = Take();
    ASSERT_GT(jpeg.size(), 1u);
    const auto decoded = DecodeJpeg(jpeg);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, 40);
    EXPECT_EQ(decoded.height, 30);
    EXPECT_TRUE(IsRed(decoded.Pixel(20, 0)));
    EXPECT_TRUE(IsBlue(decoded.Pixel(20, 29)));
}

TEST_F(FrameSlotTest, AShortFrameWithoutADecompressorIsNeverReadPastItsEnd)
{
    Connect(40, 30);
    TwoTonePicture picture(40, 30);
    Deliver(picture.rows);
    ASSERT_GT(Length(), 0);
    // Exactly sized, so that AddressSanitizer sees any read past the end.
    std::vector<uint8_t> shortFrame(picture.rows.begin(), picture.rows.end() - 1);
    shortFrame.shrink_to_fit();
    Deliver(shortFrame);
    EXPECT_EQ(Length(), 0);
    EXPECT_EQ(device.LastError().code, CaptureError::DecompressFailed);
    EXPECT_EQ(device.LastError().detail, 0);
    Deliver(picture.rows);
    EXPECT_GT(Length(), 0);
}

TEST_F(FrameSlotTest, AFrameThatCannotBeDecodedLeavesLengthZeroAndTheNextOneIsTriedAnew)
{
    Connect(32, 32, true);
    const std::vector<uint8_t> yuyv(32 * 32 * 2, 0x80);
    decodeFails = true;
    Deliver(yuyv);
    EXPECT_EQ(Length(), 0);
    EXPECT_EQ(device.LastError().code, CaptureError::DecompressFailed);
    decodeFails = false;
    Deliver(yuyv);
    const auto decoded = DecodeJpeg(Take());
    ASSERT_TRUE(decoded.ok);
    EXPECT_TRUE(IsRed(decoded.Pixel(16, 0)));
}

// 2x2 pixels get 16 bytes, less than any JPEG's headers: the write fails (code 1, length -1),
// and readers find no picture until the next good frame.
TEST_F(FrameSlotTest, AnEncodingFailureLeavesMinusOneUntilTheNextGoodFrame)
{
    Connect(2, 2);
    Deliver(TwoTonePicture(2, 2).rows);
    EXPECT_EQ(Length(), -1);
    const CaptureErrorRecord record = device.LastError();
    EXPECT_EQ(record.code, CaptureError::JpegWrite);
    EXPECT_NE(record.detail, 0);
    std::vector<uint8_t> destination(4, 0x33);
    EXPECT_EQ(device.LockFrame(), -1);
    device.CopyFrameAndUnlock(destination.data());
    EXPECT_EQ(destination, std::vector<uint8_t>(4, 0x33));
}

TEST_F(FrameSlotTest, AGoodFrameAfterAFailureRestoresAPicture)
{
    factory.script.format.biWidth = 16;
    factory.script.format.biHeight = 16;
    ASSERT_EQ(device.CreateCaptureWindow(nullptr, 0, 100), 0);
    ASSERT_EQ(device.StartStreaming(), 0);
    // Noise at quality 100 does not fit in 16 x 16 x 4 bytes; a flat picture does.
    std::vector<uint8_t> noise(16 * 16 * 3);
    uint32_t seed = 1;
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    Deliver(noise);
    EXPECT_EQ(Length(), -1);
    device.SetQuality(10);
    Deliver(std::vector<uint8_t>(16 * 16 * 3, 0x80));
    EXPECT_GT(Length(), 0);
}

// The second reader waits until the first has copied, and both get the same picture.
TEST_F(FrameSlotTest, TwoReadersTakeTurnsAndReceiveTheSamePicture)
{
    Connect(40, 30);
    Deliver(TwoTonePicture(40, 30).rows);
    const int32_t length = device.LockFrame();
    ASSERT_GT(length, 0);

    std::atomic<bool> secondLocked{false};
    std::vector<uint8_t> second;
    std::thread reader([&] {
        const int32_t n = device.LockFrame();
        secondLocked = true;
        second.resize(static_cast<size_t>(n));
        device.CopyFrameAndUnlock(second.data());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(secondLocked);
    std::vector<uint8_t> first(static_cast<size_t>(length));
    device.CopyFrameAndUnlock(first.data());
    reader.join();
    EXPECT_TRUE(secondLocked);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(DecodeJpeg(first).ok);
}

// Readers never see a half-written picture: whatever they copy while frames keep arriving is a
// complete JPEG of the length they were told.
TEST_F(FrameSlotTest, ReadersCopyingWhileTheWriterEncodesAlwaysGetCompletePictures)
{
    Connect(64, 48);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        TwoTonePicture a(64, 48), b(64, 48, false);
        for (int i = 0; i < 200; ++i)
            Deliver(i % 2 == 0 ? a.rows : b.rows);
        done = true;
    });
    auto read = [&] {
        int pictures = 0;
        while (!done) {
            std::vector<uint8_t> jpeg = Take();
            if (jpeg.size() > 1) {
                ++pictures;
                EXPECT_TRUE(DecodeJpeg(jpeg).ok);
            }
        }
        return pictures;
    };
    std::thread other([&] { read(); });
    read();
    writer.join();
    other.join();
    EXPECT_GT(Length(), 0);
}

} // namespace
} // namespace brightowl

#include "capture/CaptureDevice.h"
#include "tests/support/FakeCaptureWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace brightowl {
namespace {

using test::FakeCaptureWindow;
using test::FakeCaptureWindowFactory;
using Log = std::vector<std::string>;

struct ErrorTextCase
{
    CaptureError code;
    const char* text;
};

void PrintTo(const ErrorTextCase& c, std::ostream* os)
{
    *os << "code " << static_cast<int>(c.code);
}

class ErrorTextTest : public testing::TestWithParam<ErrorTextCase>
{
};

TEST_P(ErrorTextTest, EachCodeHasItsFixedTextWithinSixtyFourBytes)
{
    EXPECT_STREQ(CaptureErrorText(GetParam().code), GetParam().text);
    EXPECT_LT(std::strlen(GetParam().text), 64u);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorTextTest,
    testing::Values(ErrorTextCase{CaptureError::JpegInit, "Error initializing JPEG compression library"},
                    ErrorTextCase{CaptureError::JpegWrite, "Error compressing JPEG data"},
                    ErrorTextCase{CaptureError::JpegFree, "Error cleaning up JPEG compression library"},
                    ErrorTextCase{CaptureError::CloseCompressor, "Error closing compressor"},
                    ErrorTextCase{CaptureError::NoDriver, "Error. No capture driver has been allocated"},
                    ErrorTextCase{CaptureError::ConnectFailed, "Error. Unable to connect to capture driver specified."},
                    ErrorTextCase{CaptureError::AlreadyStreaming, "Error. Already grabbing images."},
                    ErrorTextCase{CaptureError::StartCaptureFailed, "Error. Unable to start image capture."},
                    ErrorTextCase{CaptureError::AlreadyPreviewing, "Error. Already previewing images."},
                    ErrorTextCase{CaptureError::DecompressFailed, "Error. Unable to decompress image."}),
    [](const testing::TestParamInfo<ErrorTextCase>& param) {
        return "Code" + std::to_string(static_cast<int>(param.param.code));
    });

TEST(CaptureErrorText, OutOfRangeCodesHaveNoText)
{
    EXPECT_STREQ(CaptureErrorText(static_cast<CaptureError>(10)), "");
    EXPECT_STREQ(CaptureErrorText(static_cast<CaptureError>(-1)), "");
}

class CaptureDeviceTest : public testing::Test
{
protected:
    FakeCaptureWindow& Window() { return *factory.window; }
    void Create(uint32_t index = 0, int32_t quality = 35)
    {
        ASSERT_EQ(device.CreateCaptureWindow(&parent, index, quality), 0);
        ASSERT_NE(factory.window, nullptr);
    }
    void ExpectError(CaptureError code, int32_t detail = 0)
    {
        const CaptureErrorRecord record = device.LastError();
        EXPECT_TRUE(record.set);
        EXPECT_EQ(record.code, code) << CaptureErrorText(record.code);
        EXPECT_EQ(record.detail, detail);
    }

    int parent = 0;
    FakeCaptureWindowFactory factory;
    CaptureDevice device{factory};
};

TEST_F(CaptureDeviceTest, CreatesA640By480ChildAtTheTopLeftAndConnectsTheDriver)
{
    Create(3);
    EXPECT_EQ(factory.lastName, "Capture Window");
    EXPECT_EQ(factory.lastGeometry, (std::vector<int32_t>{0, 0, 640, 480}));
    EXPECT_EQ(Window().GetUserData(), &device);
    EXPECT_EQ(Window().log(), (Log{"connect 3", "format size", "format 40", "locate"}));
    int32_t width = 0, height = 0;
    EXPECT_EQ(device.GetImageSize(width, height), 0);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 24);
    EXPECT_FALSE(device.LastError().set);
}

// The output format describes 24-bit rows of the driver's size and is what the decompressor is asked for.
TEST_F(CaptureDeviceTest, TheOutputFormatIsTwentyFourBitRowsOfTheDriversSize)
{
    factory.script.format.biWidth = 176;
    factory.script.format.biHeight = 144;
    factory.script.format.biBitCount = 16;
    factory.script.format.biCompression = FourCc('Y', 'U', 'Y', 'V');
    factory.script.format.biSizeImage = 176 * 144 * 2;
    factory.script.format.biXPelsPerMeter = 77;
    Create();
    EXPECT_EQ(Window().locatedInput.biCompression, FourCc('Y', 'U', 'Y', 'V'));
    const BitmapInfoHeader& out = Window().locatedOutput;
    EXPECT_EQ(out.biSize, 40u);
    EXPECT_EQ(out.biWidth, 176);
    EXPECT_EQ(out.biHeight, 144);
    EXPECT_EQ(out.biPlanes, 1);
    EXPECT_EQ(out.biBitCount, 24);
    EXPECT_EQ(out.biCompression, kBiRgb);
    EXPECT_EQ(out.biSizeImage, 0u);
    EXPECT_EQ(out.biXPelsPerMeter, 1280);
    EXPECT_EQ(out.biYPelsPerMeter, 1280);
    EXPECT_EQ(out.biClrUsed, 0u);
    EXPECT_EQ(out.biClrImportant, 0u);
}

TEST_F(CaptureDeviceTest, EncodeJpegRecordsTheStageThatFailed)
{
    std::vector<uint8_t> rows(64 * 3, 0x80), out(4096);
    BitmapInfoHeader header;
    header.biWidth = 8;
    header.biHeight = 8;
    header.biBitCount = 24;
    EXPECT_GT(device.EncodeJpeg(header, rows.data(), out.data(), 4096, 50), 0);
    EXPECT_FALSE(device.LastError().set);
    EXPECT_EQ(device.EncodeJpeg(header, rows.data(), out.data(), 100, 50), -1);
    EXPECT_EQ(device.LastError().code, CaptureError::JpegWrite);
    EXPECT_NE(device.LastError().detail, 0);
    header.biBitCount = 32; // nothing the encoder can be set up for
    EXPECT_EQ(device.EncodeJpeg(header, rows.data(), out.data(), 4096, 50), -1);
    EXPECT_EQ(device.LastError().code, CaptureError::JpegInit);
    EXPECT_EQ(device.LastError().detail, -1);
}

TEST_F(CaptureDeviceTest, AWindowThatCannotBeMadeFailsWithoutAnErrorCode)
{
    factory.createFails = true;
    EXPECT_EQ(device.CreateCaptureWindow(&parent, 0, 35), -1);
    EXPECT_FALSE(device.LastError().set);
    EXPECT_EQ(device.StartPreview(), -1);
    ExpectError(CaptureError::NoDriver);
}

// No camera at start-up: the window is made all the same, and everything that needs a driver
// answers code 4, so the server cannot start and the preview stays off.
TEST_F(CaptureDeviceTest, AFailedConnectLeavesEveryDriverOperationRefused)
{
    factory.script.connectSucceeds = false;
    Create();
    ExpectError(CaptureError::ConnectFailed);
    EXPECT_EQ(device.ConnectDriver(1), -3);
    ExpectError(CaptureError::ConnectFailed);

    int32_t width = 7, height = 8;
    EXPECT_EQ(device.GetImageSize(width, height), -1);
    ExpectError(CaptureError::NoDriver);
    EXPECT_EQ(width, 7);
    for (auto operation : {&CaptureDevice::StartPreview, &CaptureDevice::StartStreaming,
                           &CaptureDevice::ShowFormatDialog, &CaptureDevice::ShowSourceDialog}) {
        EXPECT_EQ((device.*operation)(), -1);
        ExpectError(CaptureError::NoDriver);
    }
    EXPECT_FALSE(device.IsPreviewing());
    EXPECT_FALSE(device.IsStreaming());
    EXPECT_EQ(Window().log(), (Log{"connect 0", "connect 1"}));
}

TEST_F(CaptureDeviceTest, ReconnectingDisconnectsFirstAndAFailedReconnectLeavesNoDriver)
{
    Create();
    Window().log().clear();
    EXPECT_EQ(device.ConnectDriver(2), 0);
    EXPECT_EQ(Window().log(), (Log{"disconnect", "connect 2", "format size", "format 40", "locate"}));
    Window().script().connectSucceeds = false;
    EXPECT_EQ(device.ConnectDriver(4), -3);
    EXPECT_EQ(device.StartPreview(), -1);
    ExpectError(CaptureError::NoDriver);
}

TEST_F(CaptureDeviceTest, GetImageSizeWithoutAWindowLeavesTheOutputsAlone)
{
    int32_t width = 11, height = 12;
    EXPECT_EQ(device.GetImageSize(width, height), 0);
    EXPECT_EQ(width, 11);
    EXPECT_EQ(height, 12);
    EXPECT_FALSE(device.LastError().set);
}

TEST_F(CaptureDeviceTest, PreviewStartsAt33MillisecondsAndASecondStartIsRefused)
{
    Create();
    Window().log().clear();
    EXPECT_EQ(device.StartPreview(), 0);
    EXPECT_TRUE(device.IsPreviewing());
    EXPECT_EQ(Window().log(), (Log{"preview rate 33", "preview on"}));
    EXPECT_EQ(device.StartPreview(), -1);
    ExpectError(CaptureError::AlreadyPreviewing);
    EXPECT_TRUE(device.IsPreviewing());
    device.StopPreview();
    EXPECT_FALSE(device.IsPreviewing());
    EXPECT_FALSE(Window().previewOn());
}

TEST_F(CaptureDeviceTest, APreviewTheWindowRefusesStaysOffWithoutAnError)
{
    factory.script.previewSucceeds = false;
    Create();
    EXPECT_EQ(device.StartPreview(), 0);
    EXPECT_FALSE(device.IsPreviewing());
    EXPECT_FALSE(device.LastError().set);
}

TEST_F(CaptureDeviceTest, StreamingChangesFiveParametersKeepsTheOthersAndInstallsTheCallback)
{
    factory.script.parms.dwRequestMicroSecPerFrame = 66666;
    factory.script.parms.wPercentDropForError = 3;
    factory.script.parms.fLimitEnabled = true;
    factory.script.parms.wTimeLimit = 9;
    Create();
    Window().log().clear();
    EXPECT_EQ(device.StartStreaming(), 0);
    EXPECT_TRUE(device.IsStreaming());
    EXPECT_EQ(Window().log(), (Log{"get sequence", "set sequence", "callback on", "sequence"}));
    CaptureParms expected = factory.script.parms;
    expected.fYield = true;
    expected.wNumVideoRequested = 1;
    expected.vKeyAbort = 0;
    expected.fAbortLeftMouse = false;
    expected.fAbortRightMouse = false;
    EXPECT_EQ(Window().parms(), expected);
    EXPECT_EQ(Window().installedCallback(), &CaptureDevice::FrameCallback);

    EXPECT_EQ(device.StartStreaming(), -1);
    ExpectError(CaptureError::AlreadyStreaming);

    Window().log().clear();
    device.StopStreaming();
    EXPECT_FALSE(device.IsStreaming());
    EXPECT_EQ(Window().log(), (Log{"abort", "get sequence", "set sequence", "callback off"}));
    expected.fYield = false;
    expected.vKeyAbort = 27;
    expected.fAbortLeftMouse = true;
    expected.fAbortRightMouse = true;
    EXPECT_EQ(Window().parms(), expected);
    EXPECT_EQ(Window().installedCallback(), nullptr);
}

TEST_F(CaptureDeviceTest, ADriverThatRefusesToCaptureFailsWithCodeSevenAndKeepsTheCallback)
{
    factory.script.sequenceSucceeds = false;
    Create();
    EXPECT_EQ(device.StartStreaming(), -2);
    ExpectError(CaptureError::StartCaptureFailed);
    EXPECT_FALSE(device.IsStreaming());
    EXPECT_TRUE(Window().parms().fYield);
    EXPECT_EQ(Window().installedCallback(), &CaptureDevice::FrameCallback);
    Window().log().clear();
    device.StopStreaming(); // not streaming: nothing is sent
    EXPECT_TRUE(Window().log().empty());
}

TEST_F(CaptureDeviceTest, TheDialogsSetTheFormatsUpAgainWhateverTheUserDid)
{
    Create();
    for (auto [operation, entry] : {std::pair{&CaptureDevice::ShowFormatDialog, "format dialog"},
                                    std::pair{&CaptureDevice::ShowSourceDialog, "source dialog"}}) {
        Window().log().clear();
        EXPECT_EQ((device.*operation)(), 0);
        EXPECT_EQ(Window().log(), (Log{entry, "format size", "format 40", "locate"}));
        EXPECT_EQ(device.LockFrame(), 0);
        device.CopyFrameAndUnlock(nullptr);
    }
}

TEST_F(CaptureDeviceTest, TheWholeFormatBlockIsReadIncludingWhatFollowsTheHeader)
{
    factory.script.formatTail = {1, 2, 3, 4, 5, 6, 7, 8};
    Create();
    EXPECT_EQ(Window().log()[2], "format 48");
}

struct QualityCase
{
    const char* name;
    int32_t value;
    bool stored;
};

void PrintTo(const QualityCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetQualityTest : public CaptureDeviceTest, public testing::WithParamInterface<QualityCase>
{
};

// The quality reaches the encoder: a stored value changes the JPEG, an ignored one does not.
TEST_P(SetQualityTest, StoresOnlyZeroToHundred)
{
    Create(0, 50);
    ASSERT_EQ(device.StartStreaming(), 0);
    std::vector<uint8_t> frame(static_cast<size_t>(RowStride24(32)) * 24);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 7);
    const FrameHeader header{frame.data(), static_cast<uint32_t>(frame.size()), static_cast<uint32_t>(frame.size()), 0};
    auto encodedSize = [&] {
        Window().Deliver(header);
        const int32_t length = device.LockFrame();
        device.CopyFrameAndUnlock(nullptr);
        return length;
    };
    const int32_t atFifty = encodedSize();
    device.SetQuality(GetParam().value);
    const int32_t after = encodedSize();
    ASSERT_GT(atFifty, 0);
    if (GetParam().stored)
        EXPECT_NE(after, atFifty);
    else
        EXPECT_EQ(after, atFifty);
    EXPECT_FALSE(device.LastError().set);
}

INSTANTIATE_TEST_SUITE_P(Values, SetQualityTest,
                         testing::Values(QualityCase{"minusOne", -1, false}, QualityCase{"hundredOne", 101, false},
                                         QualityCase{"zero", 0, true}, QualityCase{"hundred", 100, true}),
                         [](const testing::TestParamInfo<QualityCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(CaptureDeviceTest, ShutdownStopsEverythingOnceAndTheSecondRunSendsNothing)
{
    Create();
    ASSERT_EQ(device.StartPreview(), 0);
    ASSERT_EQ(device.StartStreaming(), 0);
    Window().log().clear();
    device.ShutdownCapture();
    EXPECT_EQ(Window().log(),
              (Log{"abort", "get sequence", "set sequence", "callback off", "preview off", "disconnect"}));
    EXPECT_FALSE(device.IsStreaming());
    EXPECT_FALSE(device.IsPreviewing());
    Window().log().clear();
    device.ShutdownCapture();
    EXPECT_TRUE(Window().log().empty());
    EXPECT_EQ(device.LockFrame(), 0);
    device.CopyFrameAndUnlock(nullptr);
}

// The window is a child of the main window and is destroyed before the device: every operation on a
// window that no longer exists is skipped and counts as 0.
TEST_F(CaptureDeviceTest, OperationsOnADestroyedWindowAreSkippedAndCountAsZero)
{
    Create();
    ASSERT_EQ(device.StartPreview(), 0);
    Window().log().clear();
    Window().Destroy();
    device.StopPreview();
    EXPECT_TRUE(device.IsPreviewing()); // the window did not agree
    EXPECT_EQ(device.ConnectDriver(0), -3);
    ExpectError(CaptureError::ConnectFailed);
    int32_t width = 5, height = 6;
    EXPECT_EQ(device.GetImageSize(width, height), 0);
    EXPECT_EQ(width, 5);
    device.ShutdownCapture();
    EXPECT_TRUE(Window().log().empty());
}

TEST_F(CaptureDeviceTest, DriverDescriptionsAreCutToTheBufferAndTerminated)
{
    factory.drivers = {{"A very long camera name", "2.5"}};
    char name[8];
    char version[80];
    EXPECT_TRUE(device.GetDriverDescription(0, name, sizeof name, version, sizeof version));
    EXPECT_STREQ(name, "A very ");
    EXPECT_STREQ(version, "2.5");
    EXPECT_FALSE(device.GetDriverDescription(1, name, sizeof name, version, sizeof version));
    EXPECT_FALSE(device.GetDriverDescription(-1, name, sizeof name, version, sizeof version));
}

} // namespace
} // namespace brightowl

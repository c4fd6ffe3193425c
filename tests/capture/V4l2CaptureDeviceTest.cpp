#include "capture/CaptureDevice.h"
#include "capture/DriverDialogs.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/V4l2DeviceList.h"
#include "capture/WindowlessCaptureWindowFactory.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <thread>

namespace brightowl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::SimulatedNode;
using test::SimulatedV4l2Device;

// The format dialog as a user who picks one mode and presses OK.
class ChoosingDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver& driver, void*) override { driver.SetMode(chosen); }
    void ShowSourceDialog(CaptureDriver&, void*) override {}
    VideoMode chosen;
};

using WindowFactory = WindowlessCaptureWindowFactory;

struct Decoded
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // top row first
    const uint8_t* Pixel(int x, int y) const
    {
        return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
    }
};

Decoded DecodeJpeg(std::vector<uint8_t> jpeg)
{
    Decoded decoded;
    tjhandle handle = tjInitDecompress();
    int subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &decoded.width, &decoded.height, &subsampling,
                            &colorspace) == 0) {
        decoded.rgb.resize(static_cast<size_t>(decoded.width) * static_cast<size_t>(decoded.height) * 3);
        if (tjDecompress2(handle, jpeg.data(), jpeg.size(), decoded.rgb.data(), decoded.width, 0, decoded.height,
                          TJPF_RGB, 0) != 0) {
            decoded = {};
        }
    }
    tjDestroy(handle);
    return decoded;
}

// The system's capture device over the real capture window engine, driver and libv4lconvert, with
// the simulated camera as its only camera.
class V4l2CaptureDeviceTest : public testing::Test
{
protected:
    V4l2CaptureDeviceTest() : dev_(fs::temp_directory_path() / ("brightowl-capture-" + std::to_string(::getpid())))
    {
        fs::create_directories(dev_);
    }
    ~V4l2CaptureDeviceTest() override
    {
        capture_.ShutdownCapture();
        fs::remove_all(dev_);
    }
    void AddCamera(SimulatedNode node)
    {
        std::ofstream(dev_ / node.name).put('\0');
        camera_.AddNode(std::move(node));
    }
    // The slot's picture once one is there (bounded wait), empty otherwise.
    std::vector<uint8_t> NextJpeg()
    {
        for (int attempt = 0; attempt < 500; ++attempt) {
            const int32_t length = capture_.LockFrame();
            std::vector<uint8_t> jpeg(static_cast<size_t>(std::max(length, 0)));
            capture_.CopyFrameAndUnlock(jpeg.data());
            if (length > 0) {
                return jpeg;
            }
            std::this_thread::sleep_for(5ms);
        }
        return {};
    }

    fs::path dev_;
    SimulatedV4l2Device camera_;
    SystemDriverCatalog catalog_{V4l2CameraLister(camera_, dev_.string())};
    ChoosingDialogs dialogs_;
    WindowFactory factory_{catalog_, dialogs_};
    CaptureDevice capture_{factory_};
};

struct PictureCase
{
    const char* name;
    VideoMode mode;
};

void PrintTo(const PictureCase& c, std::ostream* out)
{
    *out << c.name;
}

class V4l2CaptureDevicePictures : public V4l2CaptureDeviceTest, public testing::WithParamInterface<PictureCase>
{
};

TEST_P(V4l2CaptureDevicePictures, DecodedCameraPictureReachesTheSlotAsJpeg)
{
    AddCamera(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 90), 0);
    char name[80], version[80];
    ASSERT_TRUE(capture_.GetDriverDescription(0, name, 80, version, 80));
    EXPECT_STREQ(name, "Front Camera");
    EXPECT_STREQ(version, "6.1.55");

    const VideoMode mode = GetParam().mode;
    dialogs_.chosen = mode;
    ASSERT_EQ(capture_.ShowFormatDialog(), 0);
    int32_t width = 0, height = 0;
    ASSERT_EQ(capture_.GetImageSize(width, height), 0);
    EXPECT_EQ(width, static_cast<int32_t>(mode.size.width));
    EXPECT_EQ(height, static_cast<int32_t>(mode.size.height));

    ASSERT_EQ(capture_.StartStreaming(), 0);
    const Decoded picture = DecodeJpeg(NextJpeg());
    capture_.StopStreaming();
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    // The centre of each quadrant: upright, not mirrored, colours through YUV or JPEG and back.
    for (const auto& [fx, fy] : {std::pair{1, 1}, std::pair{3, 1}, std::pair{1, 3}, std::pair{3, 3}}) {
        const int x = width * fx / 4;
        const int y = height * fy / 4;
        const auto expected = SimulatedV4l2Device::KnownColour(static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                                                               mode.size.width, mode.size.height);
        const uint8_t* pixel = picture.Pixel(x, y);
        EXPECT_NEAR(pixel[0], expected.r, 24) << "at " << x << "," << y;
        EXPECT_NEAR(pixel[1], expected.g, 24) << "at " << x << "," << y;
        EXPECT_NEAR(pixel[2], expected.b, 24) << "at " << x << "," << y;
    }
    EXPECT_FALSE(capture_.LastError().set);
}

INSTANTIATE_TEST_SUITE_P(Modes, V4l2CaptureDevicePictures,
                         testing::Values(PictureCase{"Yuyv640", {V4L2_PIX_FMT_YUYV, {640, 480}, {1, 30}}},
                                         PictureCase{"Yuyv1280", {V4L2_PIX_FMT_YUYV, {1280, 720}, {1, 30}}},
                                         PictureCase{"Mjpeg320", {V4L2_PIX_FMT_MJPEG, {320, 240}, {1, 30}}},
                                         PictureCase{"Mjpeg1280", {V4L2_PIX_FMT_MJPEG, {1280, 720}, {1, 15}}}),
                         [](const testing::TestParamInfo<PictureCase>& param) { return param.param.name; });

TEST_F(V4l2CaptureDeviceTest, CameraThatRefusesToStreamIsStartCaptureFailed)
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Front Camera");
    node.streamOnError = ENOSPC;
    AddCamera(node);
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 90), 0);
    EXPECT_EQ(capture_.StartStreaming(), -2);
    EXPECT_EQ(capture_.LastError().code, CaptureError::StartCaptureFailed);
}

TEST_F(V4l2CaptureDeviceTest, MetadataNodeIsNotADriverAndConnectFails)
{
    AddCamera(SimulatedV4l2Device::MetadataNode("video0", "Front Camera"));
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 90), 0);
    char name[80], version[80];
    ASSERT_TRUE(capture_.GetDriverDescription(0, name, 80, version, 80));
    EXPECT_EQ(std::string(name).find("Front Camera"), std::string::npos) << "driver 0 is the test pattern";
    EXPECT_EQ(capture_.ConnectDriver(1), -3);
    EXPECT_EQ(capture_.LastError().code, CaptureError::ConnectFailed);
}

TEST_F(V4l2CaptureDeviceTest, UnpluggedCameraStopsTheSlotWithoutACrashUntilConnectedAgain)
{
    AddCamera(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    ASSERT_EQ(capture_.CreateCaptureWindow(nullptr, 0, 90), 0);
    testing::internal::CaptureStderr();
    ASSERT_EQ(capture_.StartStreaming(), 0);
    ASSERT_FALSE(NextJpeg().empty());
    camera_.Unplug("video0");
    for (int i = 0; i < 500 && camera_.OpenDescriptors() > 0; ++i) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(camera_.OpenDescriptors(), 0) << "the driver closed the gone camera";
    const uint64_t frames = camera_.FramesDelivered("video0");
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(camera_.FramesDelivered("video0"), frames);
    capture_.StopStreaming();
    EXPECT_EQ(capture_.ConnectDriver(0), 0) << "driver 0 is now the test pattern: the camera has gone";
    char name[80], version[80];
    ASSERT_TRUE(capture_.GetDriverDescription(0, name, 80, version, 80));
    EXPECT_EQ(std::string(name).find("Front Camera"), std::string::npos);
    capture_.ShutdownCapture();
    testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace brightowl

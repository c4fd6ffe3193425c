#include "capture/V4l2Driver.h"

#include "tests/support/SimulatedV4l2Device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

namespace brightowl {
namespace {

using test::SimulatedNode;
using test::SimulatedV4l2Device;

V4l2DeviceInfo Info(const std::string& name, const std::string& card = "Simulated Camera")
{
    return {"/dev/" + name, card, "simcam", "usb-simulated-" + name, 0x060137};
}

struct Format
{
    BitmapInfoHeader header;
    V4l2FormatTail tail;
};

Format ReadFormat(const V4l2Driver& driver)
{
    const std::vector<uint8_t> block = driver.VideoFormat();
    Format format{};
    EXPECT_EQ(block.size(), sizeof format.header + sizeof format.tail);
    if (block.size() == sizeof format.header + sizeof format.tail) {
        std::memcpy(&format.header, block.data(), sizeof format.header);
        std::memcpy(&format.tail, block.data() + sizeof format.header, sizeof format.tail);
    }
    return format;
}

class V4l2DriverTest : public testing::Test
{
protected:
    V4l2DriverTest() { device_.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera")); }

    SimulatedV4l2Device device_;
    V4l2Driver driver_{device_, Info("video0", "Front Camera")};
};

TEST_F(V4l2DriverTest, ConnectReportsTheCurrentFormat)
{
    ASSERT_TRUE(driver_.Open());
    EXPECT_TRUE(driver_.IsOpen());

    const Format format = ReadFormat(driver_);
    EXPECT_EQ(format.header.biSize, 40u);
    EXPECT_EQ(format.header.biWidth, 640);
    EXPECT_EQ(format.header.biHeight, 480);
    EXPECT_EQ(format.header.biCompression, FourCc('Y', 'U', 'Y', 'V'));
    EXPECT_EQ(format.header.biBitCount, 16);
    EXPECT_EQ(format.header.biSizeImage, 640u * 480u * 2u);
    EXPECT_EQ(format.tail.bytesPerLine, 1280u);
    EXPECT_EQ(format.tail.field, uint32_t{V4L2_FIELD_NONE});

    driver_.Close();
    EXPECT_FALSE(driver_.IsOpen());
    EXPECT_EQ(device_.OpenDescriptors(), 0);
}

TEST_F(V4l2DriverTest, ConnectSurvivesInterruptedCalls)
{
    device_.FailNextIoctls(3, EINTR);
    EXPECT_TRUE(driver_.Open());
    EXPECT_EQ(ReadFormat(driver_).header.biWidth, 640);
}

TEST_F(V4l2DriverTest, FailedCallDuringConnectLeavesNothingOpen)
{
    device_.FailNextIoctls(1, EIO);
    EXPECT_FALSE(driver_.Open());
    EXPECT_FALSE(driver_.IsOpen());
    EXPECT_EQ(device_.OpenDescriptors(), 0);
}

struct RefusedCase
{
    const char* name;
    SimulatedNode node;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class V4l2DriverRefusesNode : public testing::TestWithParam<RefusedCase>
{
};

TEST_P(V4l2DriverRefusesNode, ConnectFails)
{
    SimulatedV4l2Device device;
    device.AddNode(GetParam().node);
    V4l2Driver driver(device, Info("video0"));
    EXPECT_FALSE(driver.Open());
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_TRUE(driver.VideoFormat().empty());
    EXPECT_FALSE(driver.Start([](const FrameHeader&) {}));
    EXPECT_EQ(device.OpenDescriptors(), 0);
}

SimulatedNode Renamed(SimulatedNode node, const char* name)
{
    node.name = name;
    return node;
}

SimulatedNode WithoutStreaming()
{
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Grabber");
    node.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
    return node;
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, V4l2DriverRefusesNode,
    testing::Values(RefusedCase{"MetadataOnly", SimulatedV4l2Device::MetadataNode("video0", "Front Camera")},
                    RefusedCase{"NoSuchNode", Renamed(SimulatedV4l2Device::Camera("video7", "Other"), "video7")},
                    RefusedCase{"ReadOnlyGrabber", WithoutStreaming()}),
    [](const testing::TestParamInfo<RefusedCase>& param) { return param.param.name; });

TEST_F(V4l2DriverTest, OffersTheDevicesFormatsSizesAndRates)
{
    ASSERT_TRUE(driver_.Open());
    const auto formats = driver_.PixelFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].fourcc, uint32_t{V4L2_PIX_FMT_YUYV});
    EXPECT_EQ(formats[0].description, "YUYV 4:2:2");
    EXPECT_EQ(formats[0].sizes, (std::vector<FrameSize>{{640, 480}, {1280, 720}}));
    EXPECT_EQ(formats[1].fourcc, uint32_t{V4L2_PIX_FMT_MJPEG});
    EXPECT_EQ(formats[1].sizes, (std::vector<FrameSize>{{320, 240}, {640, 480}, {1280, 720}}));

    EXPECT_EQ(driver_.FrameIntervals(V4L2_PIX_FMT_MJPEG, {1280, 720}), (std::vector<FrameInterval>{{1, 30}, {1, 15}}));
    EXPECT_TRUE(driver_.FrameIntervals(V4L2_PIX_FMT_MJPEG, {1000, 1000}).empty());
    EXPECT_EQ(driver_.CurrentMode(), (VideoMode{V4L2_PIX_FMT_YUYV, {640, 480}, {1, 30}}));
}

TEST(V4l2DriverStepwise, RangeBecomesCommonSizesAndItsEnds)
{
    SimulatedV4l2Device device;
    SimulatedNode node = SimulatedV4l2Device::Camera("video0", "Stepwise Camera");
    node.formats = {{V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", {}, v4l2_frmsize_stepwise{48, 1280, 16, 32, 720, 8}, {{1, 30}}}};
    device.AddNode(node);
    V4l2Driver driver(device, Info("video0"));
    ASSERT_TRUE(driver.Open());

    const auto formats = driver.PixelFormats();
    ASSERT_EQ(formats.size(), 1u);
    // 320x180 and 960x540 are off the 8-line step, 424x240 off the 16-pixel one, 1024x768 out of range.
    EXPECT_EQ(formats[0].sizes, (std::vector<FrameSize>{{48, 32},
                                                        {160, 120},
                                                        {176, 144},
                                                        {320, 240},
                                                        {352, 288},
                                                        {640, 360},
                                                        {640, 480},
                                                        {800, 448},
                                                        {800, 600},
                                                        {848, 480},
                                                        {1024, 576},
                                                        {1280, 720}}));
}

TEST_F(V4l2DriverTest, SetModeReachesTheDeviceAndReportsWhatItChose)
{
    ASSERT_TRUE(driver_.Open());
    ASSERT_TRUE(driver_.SetMode({V4L2_PIX_FMT_MJPEG, {1280, 720}, {1, 15}}));
    EXPECT_EQ(device_.Format("video0").pixelformat, uint32_t{V4L2_PIX_FMT_MJPEG});
    EXPECT_EQ(device_.Format("video0").width, 1280u);
    EXPECT_EQ(device_.TimePerFrame("video0").denominator, 15u);
    EXPECT_EQ(driver_.CurrentMode(), (VideoMode{V4L2_PIX_FMT_MJPEG, {1280, 720}, {1, 15}}));
    Format format = ReadFormat(driver_);
    EXPECT_EQ(format.header.biCompression, FourCc('M', 'J', 'P', 'G'));
    EXPECT_EQ(format.header.biWidth, 1280);
    EXPECT_EQ(format.tail.bytesPerLine, 0u);

    // A size the camera lacks: the device picks its nearest, and that is what is reported.
    ASSERT_TRUE(driver_.SetMode({V4L2_PIX_FMT_MJPEG, {330, 250}, {1, 30}}));
    format = ReadFormat(driver_);
    EXPECT_EQ(format.header.biWidth, 320);
    EXPECT_EQ(format.header.biHeight, 240);
}

TEST_F(V4l2DriverTest, ControlsListTheAdjustableOnesWithValues)
{
    ASSERT_TRUE(driver_.Open());
    ASSERT_TRUE(driver_.SetControl(V4L2_CID_BRIGHTNESS, 77));
    const auto controls = driver_.Controls();
    // The class heading and the disabled hue are not offered.
    ASSERT_EQ(controls.size(), 6u);

    EXPECT_EQ(controls[0].id, uint32_t{V4L2_CID_BRIGHTNESS});
    EXPECT_EQ(controls[0].name, "Brightness");
    EXPECT_EQ(controls[0].kind, ControlInfo::Kind::Integer);
    EXPECT_EQ(controls[0].minimum, 0);
    EXPECT_EQ(controls[0].maximum, 255);
    EXPECT_EQ(controls[0].defaultValue, 128);
    EXPECT_EQ(controls[0].value, 77);

    EXPECT_EQ(controls[1].kind, ControlInfo::Kind::Boolean);
    EXPECT_EQ(controls[1].value, 1);

    EXPECT_EQ(controls[2].name, "Power Line Frequency");
    EXPECT_EQ(controls[2].kind, ControlInfo::Kind::Menu);
    EXPECT_EQ(controls[2].menuItems,
              (std::vector<std::pair<int32_t, std::string>>{{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}));

    EXPECT_EQ(controls[3].id, uint32_t{V4L2_CID_PAN_RESET});
    EXPECT_EQ(controls[3].kind, ControlInfo::Kind::Button);
}

TEST_F(V4l2DriverTest, SetControlChangesTheDeviceOrReportsRefusal)
{
    ASSERT_TRUE(driver_.Open());
    EXPECT_TRUE(driver_.SetControl(V4L2_CID_POWER_LINE_FREQUENCY, 2));
    EXPECT_EQ(device_.ControlValue("video0", V4L2_CID_POWER_LINE_FREQUENCY), 2);
    EXPECT_FALSE(driver_.SetControl(V4L2_CID_POWER_LINE_FREQUENCY, 9));
    EXPECT_EQ(device_.ControlValue("video0", V4L2_CID_POWER_LINE_FREQUENCY), 2);
    EXPECT_TRUE(driver_.SetControl(V4L2_CID_PAN_RESET, 1));
    EXPECT_EQ(device_.ButtonPresses("video0", V4L2_CID_PAN_RESET), 1);
    EXPECT_FALSE(driver_.SetControl(V4L2_CID_HUE, 3)) << "a disabled control";

    driver_.Close();
    EXPECT_FALSE(driver_.SetControl(V4L2_CID_BRIGHTNESS, 1));
    EXPECT_TRUE(driver_.Controls().empty());
    EXPECT_TRUE(driver_.PixelFormats().empty());
}

} // namespace
} // namespace brightowl

#include "capture/V4l2DeviceList.h"

#include "capture/CaptureDriver.h"
#include "capture/SystemDriverCatalog.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>

namespace brightowl {
namespace {

namespace fs = std::filesystem;
using test::SimulatedV4l2Device;

// A folder standing in for /dev with the given entries (the simulated device answers their opens).
class DevFolder
{
public:
    explicit DevFolder(std::initializer_list<const char*> names)
        : path_(fs::temp_directory_path() /
                ("brightowl-dev-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)))
    {
        fs::create_directories(path_);
        for (const char* name : names) {
            std::ofstream(path_ / name).put('\0');
        }
    }
    ~DevFolder() { fs::remove_all(path_); }
    std::string Path() const { return path_.string(); }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::vector<std::string> Cards(const std::vector<V4l2DeviceInfo>& devices)
{
    std::vector<std::string> cards;
    for (const auto& device : devices) {
        cards.push_back(device.card + " @ " + fs::path(device.path).filename().string());
    }
    return cards;
}

TEST(V4l2Enumeration, ListsCaptureNodesInDeviceNumberOrderAndSkipsTheRest)
{
    SimulatedV4l2Device device;
    device.AddNode(SimulatedV4l2Device::Camera("video10", "USB Camera"));
    device.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    device.AddNode(SimulatedV4l2Device::MetadataNode("video1", "Front Camera"));
    device.AddNode(SimulatedV4l2Device::Camera("video2", "Rear Camera"));
    auto legacy = SimulatedV4l2Device::Camera("video4", "Old Camera");
    legacy.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING; // a driver without device_caps
    legacy.deviceCaps = 0;
    device.AddNode(legacy);
    auto output = SimulatedV4l2Device::Camera("video5", "Loopback Output");
    output.capabilities = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
    output.deviceCaps = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
    device.AddNode(output);
    auto readOnly = SimulatedV4l2Device::Camera("video6", "Read-only Grabber");
    readOnly.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE;
    device.AddNode(readOnly);
    // video3 has a file but no device behind it; the others are not video nodes at all.
    DevFolder dev({"video10", "video2", "video0", "video1", "video3", "video4", "video5", "video6", "vbi0", "video",
                   "video1a", "media0"});

    const auto devices = EnumerateV4l2Devices(device, dev.Path());

    EXPECT_EQ(Cards(devices), (std::vector<std::string>{"Front Camera @ video0", "Rear Camera @ video2",
                                                        "Old Camera @ video4", "USB Camera @ video10"}));
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0].path, dev.Path() + "/video0");
    EXPECT_EQ(devices[0].driver, "simcam");
    EXPECT_EQ(devices[0].busInfo, "usb-simulated-video0");
    EXPECT_EQ(device.OpenDescriptors(), 0) << "every node looked at is closed again";
}

TEST(V4l2Enumeration, MissingFolderGivesNoDevices)
{
    SimulatedV4l2Device device;
    device.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    EXPECT_TRUE(EnumerateV4l2Devices(device, "/nonexistent/brightowl").empty());
}

TEST(V4l2Enumeration, DriverNamedAfterTheCardWithItsVersion)
{
    SimulatedV4l2Device device;
    auto camera = SimulatedV4l2Device::Camera("video0", "HD Pro Webcam C920");
    camera.version = (6u << 16) | (1u << 8) | 55u;
    device.AddNode(camera);
    DevFolder dev({"video0"});

    const auto devices = EnumerateV4l2Devices(device, dev.Path());
    ASSERT_EQ(devices.size(), 1u);
    auto driver = CreateV4l2Driver(device, devices[0]);

    EXPECT_EQ(driver->Name(), "HD Pro Webcam C920");
    EXPECT_EQ(driver->Version(), "6.1.55");
    EXPECT_FALSE(driver->IsOpen()) << "a listed driver opens its node only when connected";
    EXPECT_EQ(device.OpenDescriptors(), 0);
}

TEST(V4l2Enumeration, CatalogListsCamerasBeforeTheTestPattern)
{
    SimulatedV4l2Device device;
    device.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    device.AddNode(SimulatedV4l2Device::MetadataNode("video1", "Front Camera"));
    device.AddNode(SimulatedV4l2Device::Camera("video2", "Rear Camera"));
    DevFolder dev({"video0", "video1", "video2"});
    SystemDriverCatalog catalog(V4l2CameraLister(device, dev.Path()));

    std::string name, version;
    ASSERT_TRUE(catalog.Describe(0, name, version));
    EXPECT_EQ(name, "Front Camera");
    EXPECT_EQ(version, "6.1.55");
    ASSERT_TRUE(catalog.Describe(1, name, version));
    EXPECT_EQ(name, "Rear Camera");
    ASSERT_TRUE(catalog.Describe(2, name, version));
    EXPECT_NE(name.find("Test Pattern"), std::string::npos) << name;
    EXPECT_FALSE(catalog.Describe(3, name, version));

    auto rear = catalog.Create(1);
    ASSERT_NE(rear, nullptr);
    EXPECT_EQ(rear->Name(), "Rear Camera");
    ASSERT_TRUE(rear->Open());
    EXPECT_EQ(device.OpenDescriptors(), 1);
    rear.reset();
    EXPECT_EQ(device.OpenDescriptors(), 0);
}

struct VersionCase
{
    const char* name;
    uint32_t version;
    const char* text;
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.name;
}

class V4l2VersionText : public testing::TestWithParam<VersionCase>
{
};

TEST_P(V4l2VersionText, ReadsKernelVersionEncoding)
{
    EXPECT_EQ(brightowl::V4l2VersionText(GetParam().version), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Versions, V4l2VersionText,
                         testing::Values(VersionCase{"Zero", 0, "0.0.0"}, VersionCase{"Kernel", 0x060137, "6.1.55"},
                                         VersionCase{"EveryPartLarge", 0x0aff0c, "10.255.12"},
                                         VersionCase{"HighBitsIgnored", 0x01020304, "2.3.4"}),
                         [](const testing::TestParamInfo<VersionCase>& param) { return param.param.name; });

} // namespace
} // namespace brightowl

#include "capture/V4l2DeviceList.h"

#include "capture/V4l2Driver.h"
#include "capture/V4l2Fd.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

namespace brightowl {

std::string V4l2VersionText(uint32_t version)
{
    return std::to_string((version >> 16) & 0xff) + "." + std::to_string((version >> 8) & 0xff) + "." +
           std::to_string(version & 0xff);
}

namespace {

// The device number of a "videoN" name, or -1 for any other name.
int VideoNumber(const std::string& name)
{
    constexpr std::string_view prefix = "video";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return -1;
    }
    int number = -1;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    return error == std::errc() && end == last ? number : -1;
}

std::string FixedText(const uint8_t* text, size_t size)
{
    const auto* begin = reinterpret_cast<const char*>(text);
    return std::string(begin, std::find(begin, begin + size, '\0'));
}

} // namespace

uint32_t V4l2NodeCaps(const v4l2_capability& caps)
{
    return (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
}

std::vector<V4l2DeviceInfo> EnumerateV4l2Devices(V4l2DeviceOps& ops, const std::string& dir)
{
    std::vector<std::pair<int, std::string>> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const int number = VideoNumber(entry.path().filename().string());
        if (number >= 0) {
            nodes.emplace_back(number, entry.path().string());
        }
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<V4l2DeviceInfo> devices;
    for (const auto& [number, path] : nodes) {
        V4l2Fd fd(ops, ops.Open(path, O_RDWR | O_NONBLOCK));
        v4l2_capability caps{};
        if (!fd.Valid() || ops.Ioctl(fd.Get(), VIDIOC_QUERYCAP, &caps) != 0) {
            continue;
        }
        const uint32_t nodeCaps = V4l2NodeCaps(caps);
        if ((nodeCaps & V4L2_CAP_VIDEO_CAPTURE) == 0 || (nodeCaps & V4L2_CAP_STREAMING) == 0) {
            continue;
        }
        devices.push_back({path, FixedText(caps.card, sizeof caps.card), FixedText(caps.driver, sizeof caps.driver),
                           FixedText(caps.bus_info, sizeof caps.bus_info), caps.version});
    }
    return devices;
}

std::unique_ptr<CaptureDriver> CreateV4l2Driver(V4l2DeviceOps& ops, const V4l2DeviceInfo& device)
{
    return std::make_unique<V4l2Driver>(ops, device);
}

SystemDriverCatalog::CameraLister V4l2CameraLister(V4l2DeviceOps& ops, std::string dir)
{
    return [&ops, dir = std::move(dir)] {
        std::vector<DriverEntry> entries;
        for (V4l2DeviceInfo& device : EnumerateV4l2Devices(ops, dir)) {
            std::string name = device.card;
            std::string version = V4l2VersionText(device.version);
            entries.push_back({std::move(name), std::move(version),
                               [&ops, device = std::move(device)] { return CreateV4l2Driver(ops, device); }});
        }
        return entries;
    };
}

} // namespace brightowl

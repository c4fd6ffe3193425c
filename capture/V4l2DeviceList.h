#pragma once

#include "capture/SystemDriverCatalog.h"
#include "capture/V4l2DeviceOps.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct v4l2_capability;

namespace brightowl {

class CaptureDriver;

// One video capture node as the enumeration found it.
struct V4l2DeviceInfo
{
    std::string path;     // "/dev/video0"
    std::string card;     // the card name, shown as the driver's name
    std::string driver;   // the kernel driver ("uvcvideo")
    std::string busInfo;  // "usb-0000:00:14.0-1"
    uint32_t version = 0; // the kernel driver's version, KERNEL_VERSION encoded
};

// The node's own capabilities: device_caps where the kernel reports them, else the whole device's.
uint32_t V4l2NodeCaps(const v4l2_capability& caps);

// "major.minor.patch" of a KERNEL_VERSION encoded number.
std::string V4l2VersionText(uint32_t version);

// The /dev/video* nodes under dir, in device-number order, that capture video with memory-mapped
// streaming. Metadata and output nodes of the same camera are left out: a node is judged by its
// own capabilities (device_caps) where the kernel reports them.
std::vector<V4l2DeviceInfo> EnumerateV4l2Devices(V4l2DeviceOps& ops, const std::string& dir = "/dev");

// A driver for one enumerated node; it opens the node only on Open.
std::unique_ptr<CaptureDriver> CreateV4l2Driver(V4l2DeviceOps& ops, const V4l2DeviceInfo& device);

// The driver catalog's camera entries: the nodes EnumerateV4l2Devices finds when the catalog asks,
// named by their card and driver version. ops must outlive the catalog.
SystemDriverCatalog::CameraLister V4l2CameraLister(V4l2DeviceOps& ops = KernelDeviceOps(), std::string dir = "/dev");

} // namespace brightowl

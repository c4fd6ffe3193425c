#pragma once

#include "capture/CaptureDriver.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brightowl {

// One installed driver as the catalog lists it.
struct DriverEntry
{
    std::string name;
    std::string version;
    std::function<std::unique_ptr<CaptureDriver>()> create;
};

// The drivers of this machine, indices 0 to 9: first the cameras that the camera lister finds
// (the V4L2 video-capture devices in device-number order), then the built-in test pattern, at most
// ten in all. The list is taken afresh on every call, so a camera plugged in later shows up.
// Holds only the camera lister; user-interface thread.
class SystemDriverCatalog : public DriverCatalog
{
public:
    static constexpr int kMaxDrivers = 10;
    using CameraLister = std::function<std::vector<DriverEntry>()>;

    // Without a lister, the test pattern is the only driver.
    explicit SystemDriverCatalog(CameraLister cameras = {});

    bool Describe(int index, std::string& name, std::string& version) const override;
    std::unique_ptr<CaptureDriver> Create(int index) const override;

    // The entries in index order.
    std::vector<DriverEntry> Entries() const;

private:
    CameraLister cameras_;
};

} // namespace brightowl

#include "capture/SystemDriverCatalog.h"

#include "capture/TestPatternDriver.h"

namespace brightowl {

SystemDriverCatalog::SystemDriverCatalog(CameraLister cameras) : cameras_(std::move(cameras)) {}

std::vector<DriverEntry> SystemDriverCatalog::Entries() const
{
    std::vector<DriverEntry> entries;
    if (cameras_)
        entries = cameras_();
    if (entries.size() >= kMaxDrivers)
        entries.resize(kMaxDrivers - 1); // the test pattern keeps its place at the end
    entries.push_back({TestPatternDriver::DriverName(), TestPatternDriver::DriverVersion(),
                       [] { return std::make_unique<TestPatternDriver>(); }});
    return entries;
}

bool SystemDriverCatalog::Describe(int index, std::string& name, std::string& version) const
{
    if (index < 0 || index >= kMaxDrivers)
        return false;
    std::vector<DriverEntry> entries = Entries();
    if (static_cast<size_t>(index) >= entries.size())
        return false;
    name = entries[static_cast<size_t>(index)].name;
    version = entries[static_cast<size_t>(index)].version;
    return true;
}

std::unique_ptr<CaptureDriver> SystemDriverCatalog::Create(int index) const
{
    if (index < 0 || index >= kMaxDrivers)
        return nullptr;
    std::vector<DriverEntry> entries = Entries();
    if (static_cast<size_t>(index) >= entries.size() || !entries[static_cast<size_t>(index)].create)
        return nullptr;
    return entries[static_cast<size_t>(index)].create();
}

} // namespace brightowl

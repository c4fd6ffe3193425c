#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brightowl {

// The installed capture drivers as the driver selection needs them: a name or word that there is
// no driver at an index, and connecting one. The program's list is the capture device's.
class DriverList
{
public:
    virtual ~DriverList() = default;
    // The name of the driver at index 0 to 9, or nothing when there is none.
    virtual std::optional<std::string> DriverName(int32_t index) = 0;
    // Connects the capture device to the driver; failures stay with the device.
    virtual void ConnectDriver(uint32_t index) = 0;
};

} // namespace brightowl

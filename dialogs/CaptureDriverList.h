#pragma once

#include "dialogs/DriverList.h"

namespace brightowl {

class CaptureDevice;

// The capture device's drivers as a DriverList. Holds a reference to the device; user-interface
// thread only.
class CaptureDriverList : public DriverList
{
public:
    explicit CaptureDriverList(CaptureDevice& device);
    std::optional<std::string> DriverName(int32_t index) override;
    void ConnectDriver(uint32_t index) override;

private:
    CaptureDevice& device_;
};

} // namespace brightowl

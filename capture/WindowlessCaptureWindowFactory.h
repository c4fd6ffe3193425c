#pragma once

#include "capture/CaptureWindow.h"

namespace brightowl {

class DriverCatalog;
class DriverDialogs;

// Makes capture windows without a preview on screen: the capture engine alone over a driver catalog,
// for a device that only streams (benchmarks, tests, a headless server).
class WindowlessCaptureWindowFactory : public CaptureWindowFactory
{
public:
    WindowlessCaptureWindowFactory(const DriverCatalog& catalog, DriverDialogs& dialogs);

    std::unique_ptr<CaptureWindow> Create(const std::string& name, void* parentWindow, int32_t x, int32_t y,
                                          int32_t width, int32_t height) override;
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override;

private:
    const DriverCatalog& catalog_;
    DriverDialogs& dialogs_;
};

} // namespace brightowl

#pragma once

#include "capture/CaptureWindow.h"
#include "capture/DriverDialogs.h"

namespace brightowl {

// Makes QtCaptureWindows over the program's driver catalog and driver dialogs (both outlive it).
// User-interface thread.
class QtCaptureWindowFactory : public CaptureWindowFactory
{
public:
    QtCaptureWindowFactory(const DriverCatalog& catalog, DriverDialogs& dialogs);

    // parentWindow is the QWidget* the window is a child of; none without a parent.
    std::unique_ptr<CaptureWindow> Create(const std::string& name, void* parentWindow, int32_t x, int32_t y,
                                          int32_t width, int32_t height) override;
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override;

private:
    const DriverCatalog& catalog_;
    DriverDialogs& dialogs_;
};

} // namespace brightowl

#pragma once

#include "capture/DriverDialogs.h"

namespace brightowl {

// Shows a driver's format and source dialogs as Qt dialogs; parentWindow is a QWidget* (or none).
class QtDriverDialogs final : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver& driver, void* parentWindow) override;
    void ShowSourceDialog(CaptureDriver& driver, void* parentWindow) override;
};

} // namespace brightowl

#pragma once

namespace brightowl {

class CaptureDriver;

// The driver's own format and source dialogs, shown by the capture window. The program shows them
// with Qt (capture/qt); tests stand in for them.
class DriverDialogs
{
public:
    virtual ~DriverDialogs() = default;
    // Modal; returns when the dialog has closed. OK sets the chosen mode; Cancel changes nothing.
    virtual void ShowFormatDialog(CaptureDriver& driver, void* parentWindow) = 0;
    // Modal; controls change live while the dialog is open.
    virtual void ShowSourceDialog(CaptureDriver& driver, void* parentWindow) = 0;
};

} // namespace brightowl

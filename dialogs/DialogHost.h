#pragma once

#include "app/Settings.h"

namespace brightowl {

class CaptureDevice;
class Prompt;

// What a dialog asks of the main window; MainWindow implements it.
class DialogHost
{
public:
    virtual ~DialogHost() = default;
    virtual Settings& HostSettings() = 0;
    virtual void ApplySettings() = 0;
    virtual void SaveSettings() = 0;
    virtual void FitWindowToVideo() = 0;
    virtual CaptureDevice& HostCaptureDevice() = 0;
    virtual Prompt& HostPrompt() = 0;
};

} // namespace brightowl

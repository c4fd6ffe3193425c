#pragma once

#include "dialogs/DialogHost.h"
#include "tests/support/RecordingPrompt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace brightowl::test {

// Stands in for the main window: holds the settings, records what the dialogs ask of it in order.
class FakeDialogHost : public DialogHost
{
public:
    Settings& HostSettings() override { return settings; }
    void ApplySettings() override { calls.push_back("apply"); }
    void SaveSettings() override { calls.push_back("save"); }
    void FitWindowToVideo() override { calls.push_back("fit"); }
    CaptureDevice& HostCaptureDevice() override
    {
        if (device == nullptr) {
            ADD_FAILURE() << "no capture device given to the host";
            std::abort();
        }
        return *device;
    }
    Prompt& HostPrompt() override { return prompt; }

    Settings settings;
    CaptureDevice* device = nullptr; // for the dialogs that reach the real capture device
    RecordingPrompt prompt;
    std::vector<std::string> calls;
};

} // namespace brightowl::test

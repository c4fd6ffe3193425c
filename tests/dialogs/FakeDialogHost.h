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
        ADD_FAILURE() << "the dialogs under test reach the capture device only through their driver list";
        std::abort();
    }
    Prompt& HostPrompt() override { return prompt; }

    Settings settings;
    RecordingPrompt prompt;
    std::vector<std::string> calls;
};

} // namespace brightowl::test

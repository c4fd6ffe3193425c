#pragma once

#include "capture/DriverDialogs.h"
#include "server/Prompt.h"

#include <cstdio>

namespace brightowl::bench {

// A benchmark has no desktop: messages go to stderr, questions are answered OK.
class PrintingPrompt : public Prompt
{
public:
    void Message(const std::string&, const std::string& text, PromptIcon) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    bool Question(const std::string&, const std::string&, PromptIcon) override { return true; }
    void MessageFromWorker(const std::string& caption, const std::string& text, PromptIcon icon,
                           const std::atomic<int32_t>&) override
    {
        Message(caption, text, icon);
    }
};

// The drivers' dialogs are never shown in a benchmark.
class NoDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver&, void*) override {}
    void ShowSourceDialog(CaptureDriver&, void*) override {}
};

} // namespace brightowl::bench

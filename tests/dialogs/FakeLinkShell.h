#pragma once

#include "dialogs/LinkShell.h"

#include <string>
#include <vector>

namespace brightowl::test {

// Stands in for the desktop: answers with scripted results and records what it was asked.
class FakeLinkShell : public LinkShell
{
public:
    int32_t OpenWithDesktop(const std::string& url) override
    {
        opened.push_back(url);
        return desktopResult;
    }
    std::optional<std::string> HtmlHandlerCommand() override
    {
        ++handlerQueries;
        return handler;
    }
    int32_t RunDetached(const std::string& commandLine) override
    {
        run.push_back(commandLine);
        return runResult;
    }

    int32_t desktopResult = 33;
    std::optional<std::string> handler;
    int32_t runResult = 33;
    std::vector<std::string> opened;
    int handlerQueries = 0;
    std::vector<std::string> run;
};

} // namespace brightowl::test

#pragma once

#include "dialogs/LinkShell.h"

namespace brightowl {

// The desktop's way of opening addresses: Qt's desktop services, the freedesktop.org default
// application for text/html, and a detached process. Stateless; user-interface thread only.
class DesktopLinkShell : public LinkShell
{
public:
    int32_t OpenWithDesktop(const std::string& url) override;
    std::optional<std::string> HtmlHandlerCommand() override;
    int32_t RunDetached(const std::string& commandLine) override;
};

} // namespace brightowl

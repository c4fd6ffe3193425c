#include "dialogs/DesktopLinkShell.h"

namespace brightowl {

int32_t DesktopLinkShell::OpenWithDesktop(const std::string&) { return 31; }
std::optional<std::string> DesktopLinkShell::HtmlHandlerCommand() { return {}; }
int32_t DesktopLinkShell::RunDetached(const std::string&) { return 2; }

} // namespace brightowl

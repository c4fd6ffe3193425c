#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brightowl {

// What the hyperlink label needs of the desktop to open an address. Results greater than 32 mean
// success; 0 to 32 are the error codes the label reports (2 file not found, 31 no associated
// program, ...). User-interface thread only.
class LinkShell
{
public:
    virtual ~LinkShell() = default;
    // Hands the address to the desktop.
    virtual int32_t OpenWithDesktop(const std::string& url) = 0;
    // The command line of the desktop's default program for HTML files, with its placeholder,
    // or nothing when there is none.
    virtual std::optional<std::string> HtmlHandlerCommand() = 0;
    // Starts a command line without waiting for it.
    virtual int32_t RunDetached(const std::string& commandLine) = 0;
};

} // namespace brightowl

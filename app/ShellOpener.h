#pragma once

#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>

namespace brightowl {

// Opens a file with the desktop's default program for its kind. The desktop call is the seam:
// the program passes QDesktopServices::openUrl, tests a recorder. User-interface thread only.
class ShellOpener
{
public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    static constexpr int32_t kOpened = 0;
    static constexpr int32_t kFileNotFound = 2;
    static constexpr int32_t kNoProgram = 31; // the desktop found nothing to open it with

    explicit ShellOpener(UrlOpener openUrl);

    // fileName is relative to the current directory.
    int32_t OpenFile(const std::string& fileName) const;

private:
    UrlOpener openUrl_;
};

} // namespace brightowl

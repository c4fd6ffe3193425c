#include "app/ShellOpener.h"

#include <QFileInfo>
#include <QString>

namespace brightowl {

ShellOpener::ShellOpener(UrlOpener openUrl) : openUrl_(std::move(openUrl)) {}

int32_t ShellOpener::OpenFile(const std::string& fileName) const
{
    // The desktop's openUrl reports only true or false; a file that is not there is told apart
    // first, since that is the one failure the program has a message for.
    const QFileInfo file(QString::fromLocal8Bit(fileName));
    if (!file.exists())
        return kFileNotFound;
    return openUrl_(QUrl::fromLocalFile(file.absoluteFilePath())) ? kOpened : kNoProgram;
}

} // namespace brightowl

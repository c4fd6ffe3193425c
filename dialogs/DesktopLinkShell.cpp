#include "dialogs/DesktopLinkShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace brightowl {
namespace {

// Success as the label counts it; the failures pick the nearest texts of its table.
constexpr int32_t kOpened = 33;
constexpr int32_t kProgramNotFound = 2;
constexpr int32_t kNoAssociation = 31;

// The value of key in [section] of a desktop-entry style file, or an empty text.
QString IniValue(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inSection = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('[')) {
            inSection = line == '[' + section + ']';
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inSection && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

// The mimeapps.list files in the order the freedesktop.org rules give them precedence.
QStringList MimeAppsLists()
{
    QStringList lists;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << QDir(dir).filePath("mimeapps.list");
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << QDir(dir).filePath("mimeapps.list");
    return lists;
}

} // namespace

int32_t DesktopLinkShell::OpenWithDesktop(const std::string& url)
{
    const QUrl address(QString::fromStdString(url));
    return address.isValid() && QDesktopServices::openUrl(address) ? kOpened : kNoAssociation;
}

std::optional<std::string> DesktopLinkShell::HtmlHandlerCommand()
{
    for (const QString& list : MimeAppsLists()) {
        for (const QString& id : IniValue(list, "Default Applications", "text/html").split(';', Qt::SkipEmptyParts)) {
            const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id.trimmed());
            if (entry.isEmpty())
                continue;
            const QString exec = IniValue(entry, "Desktop Entry", "Exec");
            if (!exec.isEmpty())
                return exec.toStdString();
        }
    }
    return std::nullopt;
}

int32_t DesktopLinkShell::RunDetached(const std::string& commandLine)
{
    QStringList arguments = QProcess::splitCommand(QString::fromStdString(commandLine));
    if (arguments.isEmpty())
        return kProgramNotFound;
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments) ? kOpened : kProgramNotFound;
}

} // namespace brightowl

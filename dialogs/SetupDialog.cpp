#include "dialogs/SetupDialog.h"

#include "dialogs/DecimalText.h"
#include "dialogs/DialogHost.h"
#include "dialogs/DialogPlacement.h"
#include "resources/DialogBuilder.h"

#include "server/Prompt.h"
#include <QShowEvent>

#include <QCheckBox>
#include <QLineEdit>

#include <string>

namespace brightowl {
namespace {

constexpr char kCaption[] = "Invalid Parameter";

QString Number(uint32_t value)
{
    return QString::number(static_cast<int32_t>(value));
}

// The checks compare the signed numbers as unsigned, so every negative number fails.
bool InRange(uint32_t value, uint32_t low, uint32_t high)
{
    return value >= low && value <= high;
}

} // namespace

SetupDialog::SetupDialog(DialogHost& host, QWidget* parent) : QDialog(parent), host_(host)
{
    DialogBuilder::Build(*this, *FindDialogTemplate("SetupDialog"));
    FillControls();
}

void SetupDialog::FillControls()
{
    const Settings& settings = host_.HostSettings();
    findChild<QCheckBox*>("1005")->setChecked(settings.logFlag == 1);
    findChild<QLineEdit*>("1007")->setText(Number(settings.jpegQuality));
    findChild<QLineEdit*>("1012")->setText(Number(settings.port));
    findChild<QLineEdit*>("1008")->setText(Number(settings.maxClients));
    findChild<QLineEdit*>("1014")->setText(QString::fromStdString(settings.camUrl));
}

void SetupDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only when the dialog opens, not when the window system shows it again after minimising.
    if (!event->spontaneous())
        CentreOverOwner(*this);
}

void SetupDialog::accept()
{
    Settings& settings = host_.HostSettings();
    auto read = [this](const char* id) {
        return static_cast<uint32_t>(ReadDecimal(findChild<QLineEdit*>(id)->text().toStdString()));
    };
    settings.jpegQuality = read("1007");
    settings.maxClients = read("1008");
    settings.port = read("1012");
    settings.camUrl = findChild<QLineEdit*>("1014")->text().toStdString();
    settings.logFlag = findChild<QCheckBox*>("1005")->isChecked() ? 1 : 0;

    Prompt& prompt = host_.HostPrompt();
    bool failed = false;
    if (settings.logFlag != 0 && settings.logFlag != 1) {
        settings.logFlag = 0;
        failed = true;
    }
    if (!InRange(settings.jpegQuality, 1, 100)) {
        prompt.Message(kCaption, "Jpeg quality must be a value between 1 and 100", PromptIcon::None);
        settings.jpegQuality = 35;
        failed = true;
    }
    if (!InRange(settings.maxClients, 1, 50)) {
        prompt.Message(kCaption, "Maximum number of connections must be between 1 and 50!", PromptIcon::None);
        settings.maxClients = 5;
        failed = true;
    }
    // The path is counted in bytes, as the settings store keeps it, so that what passes here
    // also loads back.
    if (settings.camUrl.empty() || settings.camUrl.size() > 64) {
        prompt.Message(kCaption, "Webcam URL must be between 1 and 64 characters long!", PromptIcon::None);
        settings.camUrl = "/video";
        failed = true;
    }
    if (!InRange(settings.port, 1, 65000)) {
        prompt.Message(kCaption, "Port must be a value between 1 and 65000!", PromptIcon::None);
        settings.port = 80;
        failed = true;
    }
    if (failed)
        return;
    host_.ApplySettings();
    host_.SaveSettings();
    QDialog::accept();
}

} // namespace brightowl

#include "dialogs/WizardDialog.h"

#include "dialogs/AddressSource.h"
#include "dialogs/DecimalText.h"
#include "dialogs/DialogHost.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/HyperlinkLabel.h"
#include "dialogs/InterfaceAddresses.h"
#include "dialogs/LinkedDialog.h"
#include "resources/DialogTemplate.h"

#include "server/Prompt.h"
#include <QShowEvent>

#include <QLineEdit>

#include <array>
#include <cstdio>
#include <memory>

namespace brightowl {
namespace {

constexpr char kPrivateAddress[] =
    "Your IP address is a private address.\nYou are most likely behind a firewall or disconnected from the "
    "internet.\nYou must determine your external IP address manually.  See the readme for more information.";
constexpr char kNoAddress[] =
    "Error determining your IP address, you will have to find it manually.\nSee the readme for more information.";
constexpr char kOverwrite[] = "Are you sure you want to overwrite www/index.html?";
constexpr char kCannotOpen[] =
    "Could not open index.html, make sure \"www\" folder exists and file is not write protected.";
constexpr char kPagePath[] = "www/index.html";

struct CloseFile
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

WizardDialog::WizardDialog(DialogHost& host, QWidget* parent)
    : QDialog(parent), host_(host), ownAddresses_(std::make_unique<InterfaceAddresses>()), addresses_(*ownAddresses_)
{
    FillControls();
}

WizardDialog::WizardDialog(DialogHost& host, AddressSource& addresses, QWidget* parent)
    : QDialog(parent), host_(host), addresses_(addresses)
{
    FillControls();
}

WizardDialog::~WizardDialog() = default;

void WizardDialog::FillControls()
{
    link_ = BuildLinkedDialog(*this, *FindDialogTemplate(111));
    Prompt& prompt = host_.HostPrompt();
    link_->SetPrompt(&prompt);

    // Any interface will do; the first one is the one the user most likely wants to publish.
    const std::optional<std::vector<std::string>> addresses = addresses_.Ipv4Addresses();
    if (!addresses || addresses->empty()) {
        prompt.Message("", kNoAddress, PromptIcon::None);
        return;
    }
    const std::string& address = addresses->front();
    findChild<QLineEdit*>("1017")->setText(QString::fromStdString(address));
    if (IsPrivateAddress(address))
        prompt.Message("", kPrivateAddress, PromptIcon::None);
    findChild<QLineEdit*>("1018")->setText(QString::number(static_cast<int32_t>(host_.HostSettings().port)));
}

void WizardDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only when the dialog opens, not when the window system shows it again after minimising.
    if (!event->spontaneous())
        CentreOverOwner(*this);
}

void WizardDialog::accept()
{
    const std::string address = findChild<QLineEdit*>("1017")->text().toStdString();
    const int32_t port = ReadDecimal(findChild<QLineEdit*>("1018")->text().toStdString());
    Settings& settings = host_.HostSettings();
    settings.port = static_cast<uint32_t>(port);

    Prompt& prompt = host_.HostPrompt();
    if (!prompt.Question("Overwrite?", kOverwrite, PromptIcon::None))
        return;
    {
        const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(kPagePath, "w"));
        if (!file) {
            prompt.Message("Error", kCannotOpen, PromptIcon::None);
            done(0);
            return;
        }
        const std::string page = IndexPage(address, port, settings.camUrl);
        std::fwrite(page.data(), 1, page.size(), file.get());
    }
    host_.ApplySettings();
    host_.SaveSettings();
    done(0);
}

bool WizardDialog::IsPrivateAddress(const std::string& address)
{
    // The text is split at runs of dots into at most four pieces; missing ones count as 0 and
    // pieces above 255 spill into the piece before them.
    const std::string text = address.substr(0, 255);
    std::array<uint32_t, 4> pieces{};
    std::size_t count = 0;
    std::size_t at = 0;
    while (count < pieces.size()) {
        at = text.find_first_not_of('.', at);
        if (at == std::string::npos)
            break;
        const std::size_t end = text.find('.', at);
        pieces[count++] = static_cast<uint32_t>(ReadDecimal(std::string_view(text).substr(at, end - at)));
        at = end;
    }
    const uint32_t value = pieces[0] * 0x1000000u + pieces[1] * 0x10000u + pieces[2] * 0x100u + pieces[3];
    auto within = [value](uint32_t low, uint32_t high) { return value >= low && value <= high; };
    return within(0x0A000000u, 0x0AFFFFFFu) || within(0xAC100000u, 0xAC1FFFFFu) || within(0xC0A80000u, 0xC0A8FFFFu) ||
           within(0xA9FE0000u, 0xA9FEFFFFu);
}

std::string WizardDialog::IndexPage(const std::string& address, int32_t port, const std::string& camUrl)
{
    const std::string portText = std::to_string(port);
    std::string page = "<HTML>\r\n<HEAD>\r\n<TITLE>My Webcam</TITLE>\r\n</HEAD>\r\n<BODY>\r\n\r\n";
    page += "<P><H1>My Webcam</H1></P>\r\n\r\n";
    page += "<APPLET CODE=\"BrightowlApplet2.class\" CODEBASE=\"";
    page += "http://" + address + (port == 80 ? "" : ":" + portText) + "/\" WIDTH=\"320\" HEIGHT=\"240\">\r\n";
    page += "<PARAM NAME=\"SERVER\" VALUE=\"" + address + "\">\r\n";
    page += "<PARAM NAME=\"PORT\" VALUE=\"" + portText + "\">\r\n";
    page += "<PARAM NAME=\"URI\" VALUE=\"" + camUrl + "\">\r\n</APPLET>\r\n";
    page += "\n</BODY>\r\n</HTML>\r\n";
    return page;
}

} // namespace brightowl

#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

namespace brightowl {

class AddressSource;
class DialogHost;
class HyperlinkLabel;

// The Setup Wizard: shows this computer's IPv4 address and the port, and on OK stores the port and
// writes "www/index.html", the page that points the viewing applet at this server, then applies and
// saves the settings. User-interface thread only; built on the stack and run with exec().
class WizardDialog : public QDialog
{
    Q_OBJECT

public:
    // The addresses of this computer's network interfaces.
    WizardDialog(DialogHost& host, QWidget* parent);
    // The addresses of the given source, which must outlive the dialog.
    WizardDialog(DialogHost& host, AddressSource& addresses, QWidget* parent);
    ~WizardDialog() override;

    void accept() override;

    // Whether a dotted address text lies in 10/8, 172.16/12, 192.168/16 or 169.254/16; the pieces
    // are read as loosely as the user may type them.
    static bool IsPrivateAddress(const std::string& address);
    // The index page for an address, port and camera path.
    static std::string IndexPage(const std::string& address, int32_t port, const std::string& camUrl);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillControls();

    DialogHost& host_;
    std::unique_ptr<AddressSource> ownAddresses_; // the interfaces' addresses, when none were given
    AddressSource& addresses_;
    HyperlinkLabel* link_ = nullptr;
};

} // namespace brightowl

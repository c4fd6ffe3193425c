#include "dialogs/WizardDialog.h"

#include "dialogs/AddressSource.h"
#include "dialogs/DialogHost.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/HyperlinkLabel.h"
#include "dialogs/InterfaceAddresses.h"
#include "resources/DialogBuilder.h"

namespace brightowl {

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

void WizardDialog::FillControls() {}
void WizardDialog::accept() { QDialog::accept(); }
bool WizardDialog::IsPrivateAddress(const std::string&) { return false; }
std::string WizardDialog::IndexPage(const std::string&, int32_t, const std::string&) { return {}; }

void WizardDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOverOwner(*this);
}

} // namespace brightowl

#include "dialogs/ThankYouDialog.h"

#include "dialogs/DialogPlacement.h"
#include "dialogs/HyperlinkLabel.h"
#include "resources/DialogBuilder.h"

namespace brightowl {

ThankYouDialog::ThankYouDialog(QWidget* parent) : QDialog(parent)
{
    DialogBuilder::Build(*this, *FindDialogTemplate(110), [this](const ControlTemplate& control, QWidget* owner) {
        if (control.id != 1019)
            return static_cast<QWidget*>(nullptr);
        link_ = new HyperlinkLabel(owner);
        return static_cast<QWidget*>(link_);
    });
    link_->Attach();
}

HyperlinkLabel& ThankYouDialog::Link()
{
    return *link_;
}

void ThankYouDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOverOwner(*this);
}

} // namespace brightowl

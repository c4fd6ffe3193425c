#include "dialogs/AboutDialog.h"

#include "dialogs/DialogPlacement.h"
#include "dialogs/HyperlinkLabel.h"
#include "resources/DialogBuilder.h"

namespace brightowl {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    DialogBuilder::Build(*this, *FindDialogTemplate(105), [this](const ControlTemplate& control, QWidget* owner) {
        if (control.id != 1019)
            return static_cast<QWidget*>(nullptr);
        link_ = new HyperlinkLabel(owner);
        return static_cast<QWidget*>(link_);
    });
    link_->Attach();
}

HyperlinkLabel& AboutDialog::Link()
{
    return *link_;
}

void AboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOverOwner(*this);
}

} // namespace brightowl

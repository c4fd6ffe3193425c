#include "dialogs/ThankYouDialog.h"

#include "dialogs/DialogPlacement.h"
#include "dialogs/HyperlinkLabel.h"
#include "dialogs/LinkedDialog.h"
#include "resources/DialogTemplate.h"

#include <QShowEvent>

namespace brightowl {

ThankYouDialog::ThankYouDialog(QWidget* parent) : QDialog(parent)
{
    link_ = BuildLinkedDialog(*this, *FindDialogTemplate(110));
}

HyperlinkLabel& ThankYouDialog::Link()
{
    return *link_;
}

void ThankYouDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only when the dialog opens, not when the window system shows it again after minimising.
    if (!event->spontaneous())
        CentreOverOwner(*this);
}

} // namespace brightowl

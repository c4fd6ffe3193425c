#include "dialogs/LinkedDialog.h"

#include "dialogs/HyperlinkLabel.h"
#include "resources/DialogBuilder.h"

#include <QDialog>

namespace brightowl {
namespace {

constexpr int kLinkId = 1019;

} // namespace

HyperlinkLabel* BuildLinkedDialog(QDialog& dialog, const DialogTemplate& dialogTemplate)
{
    HyperlinkLabel* link = nullptr;
    DialogBuilder::Build(dialog, dialogTemplate, [&link](const ControlTemplate& control, QWidget* owner) -> QWidget* {
        if (control.id != kLinkId)
            return nullptr;
        link = new HyperlinkLabel(owner);
        return link;
    });
    if (link != nullptr)
        link->Attach();
    return link;
}

} // namespace brightowl

#pragma once

class QDialog;

namespace brightowl {

struct DialogTemplate;
class HyperlinkLabel;

// The exchange the about, closing and wizard dialogs share: builds the dialog from its template with
// control 1019 made as a hyperlink label, and attaches the label before the dialog is first shown.
// Returns the label, owned by the dialog. User-interface thread only.
HyperlinkLabel* BuildLinkedDialog(QDialog& dialog, const DialogTemplate& dialogTemplate);

} // namespace brightowl

#pragma once

#include <QDialog>

namespace brightowl {

class HyperlinkLabel;

// The About box: name, a second line, the icon and the link to the maker's site.
// User-interface thread only; built on the stack and run with exec().
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    HyperlinkLabel& Link();

protected:
    void showEvent(QShowEvent* event) override;

private:
    HyperlinkLabel* link_ = nullptr;
};

} // namespace brightowl

#pragma once

#include <QDialog>

namespace brightowl {

class HyperlinkLabel;

// The closing dialog, shown once as the program's last window: thanks and the link to the maker's
// site. User-interface thread only; built on the stack and run with exec().
class ThankYouDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ThankYouDialog(QWidget* parent = nullptr);
    HyperlinkLabel& Link();

protected:
    void showEvent(QShowEvent* event) override;

private:
    HyperlinkLabel* link_ = nullptr;
};

} // namespace brightowl

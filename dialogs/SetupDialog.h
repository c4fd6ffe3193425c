#pragma once

#include <QDialog>

namespace brightowl {

class DialogHost;

// The Server Setup dialog: edits log flag, JPEG quality, max clients, port and camera path of the
// host's settings, checks them on OK and applies and saves them when all pass. Holds no copy of
// the settings. User-interface thread only; built on the stack and run with exec().
class SetupDialog : public QDialog
{
    Q_OBJECT

public:
    SetupDialog(DialogHost& host, QWidget* parent);

    // OK: stores every value, checks them all, and closes only when every check passed.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillControls();

    DialogHost& host_;
};

} // namespace brightowl

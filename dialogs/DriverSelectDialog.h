#pragma once

#include <QDialog>

#include <memory>

class QComboBox;

namespace brightowl {

class DialogHost;
class DriverList;

// The Select Driver dialog: lists the installed capture drivers, and on OK stores the chosen index
// in the host's settings, connects it, fits the main window to the new video and saves.
// User-interface thread only; built on the stack and run with exec().
class DriverSelectDialog : public QDialog
{
    Q_OBJECT

public:
    // The drivers of the host's capture device.
    DriverSelectDialog(DialogHost& host, QWidget* parent);
    // The drivers of the given list, which must outlive the dialog.
    DriverSelectDialog(DialogHost& host, DriverList& drivers, QWidget* parent);
    ~DriverSelectDialog() override;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    DriverSelectDialog(DialogHost& host, std::unique_ptr<DriverList> ownDrivers, QWidget* parent);
    void Build();
    void FillList();

    DialogHost& host_;
    std::unique_ptr<DriverList> ownDrivers_; // the capture device's list, when none was given
    DriverList& drivers_;
    QComboBox* list_ = nullptr;
};

} // namespace brightowl

#pragma once

#include "capture/CaptureDriver.h"

#include <QDialog>

#include <functional>
#include <vector>

class QFormLayout;

namespace brightowl {

// A driver's video source dialog: one row per control of the driver's source model (a slider
// with a number for integers, a check box, a list for menus, a push button for actions). Every
// change reaches the driver at once; "Reset" sets every control to its default. GUI thread only.
class SourceDialog : public QDialog
{
    Q_OBJECT

public:
    SourceDialog(CaptureDriver& driver, QWidget* parent = nullptr);

    // Sets every control to its default value and shows it.
    void Reset();

private:
    void AddRow(QFormLayout& form, const ControlInfo& control);
    void AddInteger(QFormLayout& form, const ControlInfo& control);
    void AddBoolean(QFormLayout& form, const ControlInfo& control);
    void AddMenu(QFormLayout& form, const ControlInfo& control);
    void AddButton(QFormLayout& form, const ControlInfo& control);

    CaptureDriver& driver_;
    std::vector<ControlInfo> controls_;
    // Per control, in the order of controls_: shows a value in its widgets without applying it.
    std::vector<std::function<void(int32_t)>> show_;
};

} // namespace brightowl

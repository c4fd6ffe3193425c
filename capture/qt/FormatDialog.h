#pragma once

#include "capture/CaptureDriver.h"

#include <QDialog>

#include <vector>

class QComboBox;

namespace brightowl {

// A driver's video format dialog: pixel format, frame size and frame rate from the driver's
// format model. OK sets the chosen mode on the driver; Cancel changes nothing. GUI thread only.
class FormatDialog : public QDialog
{
    Q_OBJECT

public:
    FormatDialog(CaptureDriver& driver, QWidget* parent = nullptr);

    // The mode the three lists show now.
    VideoMode ChosenMode() const;

    void accept() override;

private:
    void FillSizes();
    void FillRates();

    CaptureDriver& driver_;
    std::vector<PixelFormatChoice> formats_;
    std::vector<FrameInterval> rates_;
    VideoMode current_;
    QComboBox* formatBox_;
    QComboBox* sizeBox_;
    QComboBox* rateBox_;
};

} // namespace brightowl

#pragma once

#include "capture/BitmapInfoHeader.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

namespace brightowl {

class PreviewFrameStore;

// The capture window's picture: a child of the main window at its top-left, 640 x 480 until the first
// frame gives it the video's size, painting the newest frame of its store at the preview rate while
// the preview is on. User-interface thread only; shares the store with the frame thread.
class PreviewWidget : public QWidget
{
    Q_OBJECT

public:
    PreviewWidget(std::shared_ptr<PreviewFrameStore> store, QWidget* parent);

    void SetPreviewOn(bool on);
    void SetPreviewRate(int milliseconds);
    bool IsPreviewOn() const { return timer_.isActive(); }
    int PreviewRate() const { return timer_.interval(); }

    // Takes the newest frame from the store and repaints; false when no new frame has arrived.
    bool ShowNewestFrame();
    // Shows black until the next frame (the driver has gone).
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<PreviewFrameStore> store_;
    QTimer timer_;
    BitmapInfoHeader header_;
    std::vector<uint8_t> rows_; // the frame on show
};

} // namespace brightowl

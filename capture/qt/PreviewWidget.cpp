#include "capture/qt/PreviewWidget.h"

#include "capture/qt/PreviewFrameStore.h"

#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace brightowl {

PreviewWidget::PreviewWidget(std::shared_ptr<PreviewFrameStore> store, QWidget* parent)
    : QWidget(parent), store_(std::move(store))
{
    setGeometry(0, 0, 640, 480);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(33);
    connect(&timer_, &QTimer::timeout, this, &PreviewWidget::ShowNewestFrame);
}

void PreviewWidget::SetPreviewOn(bool on)
{
    if (on)
        timer_.start();
    else
        timer_.stop();
}

void PreviewWidget::SetPreviewRate(int milliseconds)
{
    if (milliseconds > 0)
        timer_.setInterval(milliseconds);
}

bool PreviewWidget::ShowNewestFrame()
{
    if (!store_->TakeNewest(header_, rows_))
        return false;
    // The widget takes the video's size, so that a main window fitted to the video shows all of it.
    const QSize videoSize(header_.biWidth, std::abs(header_.biHeight));
    if (size() != videoSize)
        resize(videoSize);
    update();
    return true;
}

void PreviewWidget::Clear()
{
    store_->Drop();
    rows_.clear();
    update();
}

void PreviewWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int width = header_.biWidth;
    const int height = std::abs(header_.biHeight);
    if (rows_.empty() || width <= 0 || height <= 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // A view over the rows, no copy; rows stored bottom row first are drawn mirrored top to bottom.
    const QImage view(rows_.data(), width, height, RowStride24(width), QImage::Format_BGR888);
    if (header_.biHeight > 0) {
        painter.translate(0, height);
        painter.scale(1, -1);
    }
    painter.drawImage(0, 0, view);
    painter.resetTransform();
    if (width < this->width())
        painter.fillRect(width, 0, this->width() - width, this->height(), Qt::black);
    if (height < this->height())
        painter.fillRect(0, height, width, this->height() - height, Qt::black);
}

} // namespace brightowl

#pragma once

#include "capture/DriverCaptureWindow.h"

#include <QMetaObject>
#include <QPointer>

#include <memory>

class QWidget;

namespace brightowl {

class PreviewFrameStore;
class PreviewWidget;

// The program's capture window: the driver engine with a PreviewWidget as the child of a parent
// widget. Owns the widget unless Qt destroys it first with its parent; from then on the window no
// longer exists and its driver is stopped. User-interface thread.
class QtCaptureWindow : public DriverCaptureWindow
{
public:
    QtCaptureWindow(QWidget* parent, const DriverCatalog& catalog, DriverDialogs& dialogs);
    ~QtCaptureWindow() override;
    QtCaptureWindow(const QtCaptureWindow&) = delete;
    QtCaptureWindow& operator=(const QtCaptureWindow&) = delete;

    bool Exists() const override { return !widget_.isNull(); }
    int32_t DriverDisconnect() override;
    int32_t SetPreview(bool on) override;
    int32_t SetPreviewRate(int32_t milliseconds) override;

    PreviewWidget* Widget() const { return widget_.data(); }

private:
    QtCaptureWindow(QWidget* parent, const DriverCatalog& catalog, DriverDialogs& dialogs,
                    std::shared_ptr<PreviewFrameStore> store);

    std::shared_ptr<PreviewFrameStore> store_;
    QPointer<PreviewWidget> widget_;
    QMetaObject::Connection destroyedConnection_;
};

} // namespace brightowl

#pragma once

#include "capture/DriverCaptureWindow.h"

#include <QMetaObject>

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

    bool Exists() const override { return widgetAlive_; }
    int32_t DriverDisconnect() override;
    int32_t SetPreview(bool on) override;
    int32_t SetPreviewRate(int32_t milliseconds) override;

    // The preview widget, or none once it has been destroyed.
    PreviewWidget* Widget() const { return widgetAlive_ ? widget_ : nullptr; }

private:
    QtCaptureWindow(QWidget* parent, const DriverCatalog& catalog, DriverDialogs& dialogs,
                    std::shared_ptr<PreviewFrameStore> store);

    std::shared_ptr<PreviewFrameStore> store_;
    // Qt announces the widget's end (destroyed) while ~QWidget runs, when the PreviewWidget part is
    // already gone and a QPointer still holds it: the flag turns false there, before anything else.
    PreviewWidget* widget_ = nullptr;
    bool widgetAlive_ = false;
    QMetaObject::Connection destroyedConnection_;
};

} // namespace brightowl

#include "capture/qt/QtCaptureWindow.h"

#include "capture/qt/PreviewFrameStore.h"
#include "capture/qt/PreviewWidget.h"

namespace brightowl {

QtCaptureWindow::QtCaptureWindow(QWidget* parent, const DriverCatalog& catalog, DriverDialogs& dialogs)
    : QtCaptureWindow(parent, catalog, dialogs, std::make_shared<PreviewFrameStore>())
{
}

QtCaptureWindow::QtCaptureWindow(QWidget* parent, const DriverCatalog& catalog, DriverDialogs& dialogs,
                                 std::shared_ptr<PreviewFrameStore> store)
    : DriverCaptureWindow(catalog, dialogs, store.get(), parent), store_(store)
{
    auto* widget = new PreviewWidget(store, parent);
    widget->setObjectName("Capture Window");
    widget->show();
    widget_ = widget;
    // Destroyed with its parent: a window that no longer exists captures nothing. The signal comes
    // from ~QWidget, when the PreviewWidget part is already gone: the pointer is dropped first, so
    // that the shut-down does not call into what is left of it.
    destroyedConnection_ = QObject::connect(widget, &QObject::destroyed, [this] {
        widget_.clear();
        Shutdown();
    });
}

QtCaptureWindow::~QtCaptureWindow()
{
    QObject::disconnect(destroyedConnection_);
    // The driver thread writes into the store: stop it before the store and the widget go.
    Shutdown();
    delete widget_.data();
}

// A picture of a driver that is no longer connected would mislead: the preview turns black.
int32_t QtCaptureWindow::DriverDisconnect()
{
    const int32_t result = DriverCaptureWindow::DriverDisconnect();
    if (result != 0 && widget_)
        widget_->Clear();
    return result;
}

int32_t QtCaptureWindow::SetPreview(bool on)
{
    const int32_t result = DriverCaptureWindow::SetPreview(on);
    if (result != 0 && widget_)
        widget_->SetPreviewOn(on);
    return result;
}

int32_t QtCaptureWindow::SetPreviewRate(int32_t milliseconds)
{
    const int32_t result = DriverCaptureWindow::SetPreviewRate(milliseconds);
    if (result != 0 && widget_)
        widget_->SetPreviewRate(milliseconds);
    return result;
}

} // namespace brightowl

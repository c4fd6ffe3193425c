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
    widgetAlive_ = true;
    // Destroyed with its parent: a window that no longer exists captures nothing.
    destroyedConnection_ = QObject::connect(widget, &QObject::destroyed, [this] {
        widgetAlive_ = false;
        Shutdown();
    });
}

QtCaptureWindow::~QtCaptureWindow()
{
    QObject::disconnect(destroyedConnection_);
    // The driver thread writes into the store: stop it before the store and the widget go.
    Shutdown();
    if (widgetAlive_)
        delete widget_;
}

// A picture of a driver that is no longer connected would mislead: the preview turns black.
int32_t QtCaptureWindow::DriverDisconnect()
{
    const int32_t result = DriverCaptureWindow::DriverDisconnect();
    if (result != 0 && widgetAlive_)
        widget_->Clear();
    return result;
}

int32_t QtCaptureWindow::SetPreview(bool on)
{
    const int32_t result = DriverCaptureWindow::SetPreview(on);
    if (result != 0 && widgetAlive_)
        widget_->SetPreviewOn(on);
    return result;
}

int32_t QtCaptureWindow::SetPreviewRate(int32_t milliseconds)
{
    const int32_t result = DriverCaptureWindow::SetPreviewRate(milliseconds);
    if (result != 0 && widgetAlive_)
        widget_->SetPreviewRate(milliseconds);
    return result;
}

} // namespace brightowl

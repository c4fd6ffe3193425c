#include "capture/qt/QtCaptureWindowFactory.h"

#include "capture/qt/PreviewWidget.h"
#include "capture/qt/QtCaptureWindow.h"

#include <QWidget>

namespace brightowl {

QtCaptureWindowFactory::QtCaptureWindowFactory(const DriverCatalog& catalog, DriverDialogs& dialogs)
    : catalog_(catalog), dialogs_(dialogs)
{
}

std::unique_ptr<CaptureWindow> QtCaptureWindowFactory::Create(const std::string& name, void* parentWindow, int32_t x,
                                                              int32_t y, int32_t width, int32_t height)
{
    auto* parent = static_cast<QWidget*>(parentWindow);
    if (parent == nullptr || width <= 0 || height <= 0)
        return nullptr;
    auto window = std::make_unique<QtCaptureWindow>(parent, catalog_, dialogs_);
    window->Widget()->setObjectName(QString::fromStdString(name));
    window->Widget()->setGeometry(x, y, width, height);
    return window;
}

bool QtCaptureWindowFactory::GetDriverDescription(uint32_t index, std::string& name, std::string& version) const
{
    return catalog_.Describe(static_cast<int>(index), name, version);
}

} // namespace brightowl

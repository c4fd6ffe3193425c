#include "app/CameraApp.h"

#include "app/MainWindow.h"
#include "app/QtPrompt.h"
#include "app/ShellOpener.h"
#include "app/SocketLayer.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/V4l2DeviceList.h"
#include "capture/qt/QtCaptureWindowFactory.h"
#include "capture/qt/QtDriverDialogs.h"
#include "resources/AppIcon.h"

#include <QApplication>
#include <QDesktopServices>

namespace brightowl {

// The real services: message boxes, the desktop's file opener, the machine's capture drivers
// with their Qt preview window and dialogs.
struct CameraApp::PlatformServices
{
    QtPrompt prompt;
    ShellOpener shell{[](const QUrl& url) { return QDesktopServices::openUrl(url); }};
    SystemDriverCatalog catalog{V4l2CameraLister()};  // the V4L2 cameras under /dev, then the test pattern
    QtDriverDialogs driverDialogs;
    QtCaptureWindowFactory captureWindows{catalog, driverDialogs};
};

CameraApp::CameraApp(int& argc, char** argv)
    : application_(std::make_unique<QApplication>(argc, argv)), platform_(std::make_unique<PlatformServices>())
{
    // The program ends when the main window's destruction is through, not when its last window
    // (the closing dialog, or the first-run wizard before the main window is shown) goes.
    QApplication::setQuitOnLastWindowClosed(false);
    services_ = std::make_unique<AppServices>(
        AppServices{platform_->captureWindows, platform_->prompt, platform_->shell, &StartSocketLayer});
}

CameraApp::CameraApp(const AppServices& services) : services_(std::make_unique<AppServices>(services)) {}

CameraApp::~CameraApp()
{
    window_.reset();
}

bool CameraApp::InitInstance()
{
    const QIcon icon = LoadIconResource(kAppIconId);
    window_ = std::make_unique<MainWindow>(*services_);
    if (!window_->IsCreated() || window_->IsClosed())
        return false;
    if (platform_)
        platform_->prompt.SetOwner(window_.get());
    QObject::connect(window_.get(), &MainWindow::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!icon.isNull())
        window_->setWindowIcon(icon);
    window_->show();
    window_->FitWindowToVideo();
    return true;
}

int CameraApp::ExitInstance()
{
    // A loop that ended with the window still open (the session ending, say) closes it first, so
    // that its destruction steps run as on every other end.
    if (window_ && window_->IsCreated() && !window_->IsClosed())
        window_->close();
    if (platform_)
        platform_->prompt.SetOwner(nullptr);
    window_.reset();
    return 1;
}

int CameraApp::Run()
{
    if (InitInstance())
        QApplication::exec();
    return ExitInstance();
}

} // namespace brightowl

#pragma once

#include "app/AppServices.h"

#include <memory>

class QApplication;

namespace brightowl {

class MainWindow;

// The application object: owns the QApplication (in the program) and the main window, runs the
// start-up, the event loop and the exit. User-interface thread.
class CameraApp
{
public:
    // The program: makes the QApplication and the real platform services.
    CameraApp(int& argc, char** argv);
    // Runs on the QApplication that exists already, with the given services (tests).
    explicit CameraApp(const AppServices& services);
    ~CameraApp();
    CameraApp(const CameraApp&) = delete;
    CameraApp& operator=(const CameraApp&) = delete;

    // Start-up, the event loop until the main window has closed, exit; the program's exit code.
    int Run();

    // Icon, main window, show, fit; false when the main window did not come up (it closed or was
    // never made during its construction), in which case no event loop runs.
    bool InitInstance();
    // Closes and deletes the main window if it still exists; 1, the program's exit code.
    int ExitInstance();

    // The main window while it exists.
    MainWindow* Window() const { return window_.get(); }

private:
    struct PlatformServices;

    std::unique_ptr<QApplication> application_;
    std::unique_ptr<PlatformServices> platform_;
    std::unique_ptr<AppServices> services_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace brightowl

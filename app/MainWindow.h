#pragma once

#include "app/AppServices.h"
#include "app/Settings.h"
#include "app/SettingsStore.h"
#include "capture/CaptureDevice.h"
#include "dialogs/DialogHost.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

class QCloseEvent;
class QLabel;

namespace brightowl {

class ServerController;

// The program's frame window: holds the Settings record, the server-running flag, the video size,
// the ServerController, the CaptureDevice (whose capture window is its central widget's child) and
// the status bar with its three panes. User-interface thread only.
class MainWindow : public QMainWindow, public DialogHost
{
    Q_OBJECT

public:
    // Builds the window and brings the program up in its fixed order: status bar, settings, socket
    // layer, capture window, server controller, fitting, first-run wizard, preview. When a step
    // fails the construction stops there and the window is closed (IsClosed) or never made
    // (!IsCreated); it is not shown either way.
    explicit MainWindow(const AppServices& services);
    ~MainWindow() override;

    bool IsCreated() const { return created_; }
    // The destruction steps have run: settings saved, server stopped, controller released, capture
    // shut down, closing dialog shown.
    bool IsClosed() const { return closed_; }

    // A menu command by its number, as the menu sends it.
    void RunCommand(int32_t command);

    int32_t LoadSettings();

    // DialogHost
    Settings& HostSettings() override { return settings_; }
    void ApplySettings() override;
    void SaveSettings() override;
    void FitWindowToVideo() override;
    CaptureDevice& HostCaptureDevice() override { return captureDevice_; }
    Prompt& HostPrompt() override { return services_.prompt; }

    bool IsServerRunning() const { return serverRunning_ != 0; }
    // The controller, none before construction made it and after the destruction released it.
    ServerController* Controller() const { return controller_.get(); }
    // The video size of the last fitting.
    int32_t VideoWidth() const { return videoWidth_; }
    int32_t VideoHeight() const { return videoHeight_; }
    // The widget the capture window lives in: the client area above the status bar.
    QWidget* VideoArea() const { return videoArea_; }

signals:
    // The destruction steps have finished; the program may end.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The creation handler: the status bar with its three panes.
    bool CreateStatusBar();
    void Construct();
    void CloseAtStartUp();
    void RunDestructionSteps();

    // Sets the panes' texts where they changed; run whenever the event loop is about to wait.
    void UpdatePanes();
    static void SetPaneText(QLabel* pane, const QString& text);
    // True (after its message) when the server runs and the command must not act.
    bool RefuseWhileServerRuns(const char* message);
    void ShowMessage(const char* caption, const char* text);
    void OpenWithShell(const char* fileName, const char* missingMessage);

    void OnExit();
    void OnPreview();
    void OnSelectDriver();
    void OnFormat();
    void OnSource();
    void OnSetup();
    void OnStartServer();
    void OnStopServer();
    void OnViewLog();
    void OnAbout();
    void OnReadme();
    void OnWizard();

    AppServices services_;
    SettingsStore store_;

    Settings settings_;
    int32_t serverRunning_ = 0;
    int32_t videoWidth_ = 0;
    int32_t videoHeight_ = 0;
    std::unique_ptr<ServerController> controller_;
    CaptureDevice captureDevice_;

    QWidget* videoArea_ = nullptr;
    std::array<QLabel*, 3> panes_{}; // users, server, preview
    // Wakes the event loop now and then while the server runs, so that the users pane, which
    // server threads change without waking this thread, is never more than a moment behind.
    QTimer paneNudge_;
    bool created_ = false;
    bool closed_ = false;
};

} // namespace brightowl

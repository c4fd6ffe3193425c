#include "app/MainWindow.h"

#include "app/MenuBuilder.h"
#include "app/ShellOpener.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/DriverSelectDialog.h"
#include "dialogs/SetupDialog.h"
#include "dialogs/ThankYouDialog.h"
#include "dialogs/WizardDialog.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "server/ConnectionLog.h"
#include "server/Prompt.h"
#include "server/ServerController.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include <chrono>
#include <thread>

namespace brightowl {

namespace {

constexpr const char* kTitle = "Brightowl v1.2";
constexpr int32_t kDefaultVideoWidth = 640;
constexpr int32_t kDefaultVideoHeight = 480;
constexpr std::array<uint32_t, 3> kPaneIds = {StringId::UsersPane, StringId::ServerPane, StringId::PreviewPane};
constexpr int kPaneNudgeMs = 500;
constexpr auto kExitWaitStep = std::chrono::milliseconds(300);
constexpr int kExitWaitSteps = 20;
constexpr int kPanePadding = 4; // each side of a pane's text, inside its frame

} // namespace

MainWindow::MainWindow(const AppServices& services)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(services), store_(SettingsStore::DefaultKeyFolder()), captureDevice_(services.captureWindows)
{
    settings_.camUrl.clear();
    Construct();
}

MainWindow::~MainWindow()
{
    // The controller refers to the capture device, which goes first as a later member.
    controller_.reset();
}

void MainWindow::Construct()
{
    setWindowTitle(QString::fromLatin1(kTitle));
    BuildMenuBar(*menuBar(), FindMenuResource(kMainMenuName), [this](int32_t command) { RunCommand(command); });
    videoArea_ = new QWidget(this);
    videoArea_->setObjectName("videoArea");
    setCentralWidget(videoArea_);
    if (!CreateStatusBar()) {
        ShowMessage("ERROR", "Failed to create status bar");
        return; // no window: nothing to close, nothing to save
    }
    created_ = true;

    const int32_t firstRun = LoadSettings();
    if (!services_.startSocketLayer()) {
        ShowMessage("ERROR", "Fatal error initializing sockets!");
        CloseAtStartUp();
        return;
    }
    if (captureDevice_.CreateCaptureWindow(videoArea_, settings_.driverIndex,
                                           static_cast<int32_t>(settings_.jpegQuality)) == -1) {
        ShowMessage("ERROR", "Error initializing vfw capture window!\nTry reinstalling camera drivers and ensure it "
                             "is plugged in.");
        CloseAtStartUp();
        return;
    }
    controller_ = std::make_unique<ServerController>(settings_.logFlag, settings_.maxClients, settings_.port,
                                                     settings_.camUrl, captureDevice_, services_.prompt);
    serverRunning_ = 0;
    FitWindowToVideo();
    if (firstRun == 1) {
        WizardDialog wizard(*this, this);
        wizard.exec();
    }
    RunCommand(Command::Preview);

    paneNudge_.setInterval(kPaneNudgeMs);
    connect(&paneNudge_, &QTimer::timeout, this, &MainWindow::UpdatePanes);
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
            &MainWindow::UpdatePanes);
}

bool MainWindow::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    for (std::size_t i = 0; i < kPaneIds.size(); ++i) {
        const char* initial = LoadResourceString(kPaneIds[i]);
        if (initial == nullptr)
            return false;
        auto* pane = new QLabel(QString::fromLatin1(initial), bar);
        pane->setObjectName(QStringLiteral("pane%1").arg(kPaneIds[i]));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setContentsMargins(kPanePadding, 0, kPanePadding, 0);
        // As wide as the initial text in the status bar's font; later texts keep that width.
        const int textWidth = bar->fontMetrics().horizontalAdvance(pane->text());
        pane->setFixedWidth(textWidth + 2 * (kPanePadding + pane->frameWidth()));
        bar->addPermanentWidget(pane);
        panes_[i] = pane;
    }
    return true;
}

void MainWindow::CloseAtStartUp()
{
    // The window was never shown; closing it runs the destruction steps for what exists.
    close();
}

int32_t MainWindow::LoadSettings()
{
    return store_.LoadSettings(settings_);
}

void MainWindow::SaveSettings()
{
    store_.SaveSettings(settings_);
}

void MainWindow::ApplySettings()
{
    if (!controller_)
        return;
    captureDevice_.SetQuality(static_cast<int32_t>(settings_.jpegQuality));
    controller_->SetLogConnections(settings_.logFlag);
    controller_->SetMaxClients(settings_.maxClients);
    controller_->SetPort(settings_.port);
    controller_->SetCamUrl(settings_.camUrl);
}

void MainWindow::FitWindowToVideo()
{
    int32_t width = 0;
    int32_t height = 0;
    if (captureDevice_.GetImageSize(width, height) != 0 || width <= 0 || height <= 0) {
        width = kDefaultVideoWidth;
        height = kDefaultVideoHeight;
    }
    videoWidth_ = width;
    videoHeight_ = height;

    // The client area becomes the picture with the status bar beneath it (the menu bar above is
    // the frame's own in Qt); the window keeps its top-left corner, and the user cannot resize it.
    const QPoint topLeft = pos();
    videoArea_->setFixedSize(width, height);
    for (QWidget* child : videoArea_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->setGeometry(0, 0, width, height);
    const int menuHeight =
        menuBar()->heightForWidth(width) > 0 ? menuBar()->heightForWidth(width) : menuBar()->sizeHint().height();
    setFixedSize(width, menuHeight + height + statusBar()->sizeHint().height());
    move(topLeft);
    update();
}

void MainWindow::RunCommand(int32_t command)
{
    switch (command) {
    case Command::Exit:
        return OnExit();
    case Command::Preview:
        return OnPreview();
    case Command::SelectDriver:
        return OnSelectDriver();
    case Command::Format:
        return OnFormat();
    case Command::Source:
        return OnSource();
    case Command::Setup:
        return OnSetup();
    case Command::StartServer:
        return OnStartServer();
    case Command::StopServer:
        return OnStopServer();
    case Command::ViewLog:
        return OnViewLog();
    case Command::About:
        return OnAbout();
    case Command::Readme:
        return OnReadme();
    case Command::Wizard:
        return OnWizard();
    default:
        return;
    }
}

void MainWindow::ShowMessage(const char* caption, const char* text)
{
    services_.prompt.Message(caption, text, PromptIcon::None);
}

bool MainWindow::RefuseWhileServerRuns(const char* message)
{
    if (serverRunning_ == 0)
        return false;
    ShowMessage("Server Message", message);
    return true;
}

void MainWindow::OnExit()
{
    if (!services_.prompt.Question("Quit?", "Are you sure you want to quit?", PromptIcon::None))
        return;
    if (serverRunning_ != 0)
        OnStopServer();
    // Stop Server has ended streaming already, so the wait normally ends at once; it is bounded so
    // that a capture that never reports its end cannot keep the program from closing.
    for (int step = 0; captureDevice_.IsStreaming() && step < kExitWaitSteps; ++step)
        std::this_thread::sleep_for(kExitWaitStep);
    close();
}

void MainWindow::OnPreview()
{
    if (RefuseWhileServerRuns("Please shut down the server before changing preview mode."))
        return;
    if (captureDevice_.IsPreviewing())
        captureDevice_.StopPreview();
    else
        captureDevice_.StartPreview();
}

void MainWindow::OnSelectDriver()
{
    if (RefuseWhileServerRuns("Please shut down the server before changing video drivers."))
        return;
    DriverSelectDialog dialog(*this, this);
    dialog.exec();
}

void MainWindow::OnFormat()
{
    if (RefuseWhileServerRuns("Please shut down the server before making changes to the Video Format."))
        return;
    if (captureDevice_.ShowFormatDialog() == 0)
        FitWindowToVideo();
}

void MainWindow::OnSource()
{
    if (RefuseWhileServerRuns("Please shut down the server before making changes to the Video Source."))
        return;
    if (captureDevice_.ShowSourceDialog() == 0)
        FitWindowToVideo();
}

void MainWindow::OnSetup()
{
    SetupDialog dialog(*this, this);
    dialog.exec();
}

void MainWindow::OnStartServer()
{
    if (serverRunning_ != 0 || controller_ == nullptr)
        return;
    if (controller_->StartServer() != 0) {
        ShowMessage("Error", "There was an error starting the server.  Your camera may not be working properly.");
        return;
    }
    serverRunning_ = 1;
    paneNudge_.start();
}

void MainWindow::OnStopServer()
{
    if (serverRunning_ == 0)
        return;
    controller_->StopServer();
    serverRunning_ = 0;
    paneNudge_.stop();
}

void MainWindow::OpenWithShell(const char* fileName, const char* missingMessage)
{
    if (services_.shell.OpenFile(fileName) == ShellOpener::kFileNotFound)
        ShowMessage("ERROR", missingMessage);
}

void MainWindow::OnViewLog()
{
    OpenWithShell(kLogFileName, "No log file exists!");
}

void MainWindow::OnAbout()
{
    // Owned by the main window, so that it is centred over it and stays in front of it.
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::OnReadme()
{
    OpenWithShell("readme.pdf", "Readme file missing!");
}

void MainWindow::OnWizard()
{
    if (RefuseWhileServerRuns("Please shut down the server before using the wizard."))
        return;
    WizardDialog dialog(*this, this);
    dialog.exec();
}

void MainWindow::UpdatePanes()
{
    if (!isVisible() || closed_)
        return;
    if (controller_ != nullptr)
        SetPaneText(panes_[0], QStringLiteral("%1 user(s) connected").arg(controller_->GetConnectionCount()));
    SetPaneText(panes_[1],
                serverRunning_ != 0 ? QStringLiteral("Server Running") : QStringLiteral("Server Not Running"));
    SetPaneText(panes_[2],
                captureDevice_.IsPreviewing() ? QStringLiteral("Previewing") : QStringLiteral("Not Previewing"));
}

void MainWindow::SetPaneText(QLabel* pane, const QString& text)
{
    // Setting even the same text repaints the label, which wakes the loop again: a busy loop.
    if (pane->text() != text)
        pane->setText(text);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (closed_)
        return;
    hide();
    RunDestructionSteps();
    emit Closed();
}

void MainWindow::RunDestructionSteps()
{
    closed_ = true;
    paneNudge_.stop();
    SaveSettings();
    if (controller_ != nullptr && controller_->IsRunning() != 0)
        controller_->StopServer();
    controller_.reset();
    captureDevice_.ShutdownCapture();
    ThankYouDialog thanks(nullptr);
    thanks.exec();
}

} // namespace brightowl

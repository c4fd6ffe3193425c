#include "app/MainWindow.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "server/ServerController.h"
#include "tests/app/AppFixture.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace brightowl {
namespace {

using test::ModalAnswerer;
using test::SpinUntil;

// A TCP client on 127.0.0.1 that asks for the camera stream and holds the connection.
class StreamViewer
{
public:
    explicit StreamViewer(uint32_t port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        const char request[] = "GET /video HTTP/1.0\r\n\r\n";
        connected_ = connected_ && ::send(fd_, request, sizeof request - 1, MSG_NOSIGNAL) > 0;
    }
    ~StreamViewer() { ::close(fd_); }
    StreamViewer(const StreamViewer&) = delete;
    StreamViewer& operator=(const StreamViewer&) = delete;
    bool Connected() const { return connected_; }

private:
    int fd_ = -1;
    bool connected_ = false;
};

class MainWindowTest : public test::AppFixture
{
protected:
    // A main window built from the stored settings (no first run), shown as the start-up shows it,
    // its server on a free port.
    std::unique_ptr<MainWindow> OpenWindow(Settings settings = {})
    {
        StoreSettings(settings);
        auto window = std::make_unique<MainWindow>(Services());
        window->show();
        window->FitWindowToVideo();
        window->HostSettings().port = 0;
        window->ApplySettings();
        return window;
    }

    void CloseWindow(std::unique_ptr<MainWindow>& window)
    {
        answerer_.Then(ModalAnswerer::Accept()); // the closing dialog
        window->close();
        window.reset();
    }

    void TearDown() override
    {
        if (window_)
            CloseWindow(window_);
        AppFixture::TearDown();
    }

    bool PanesRead(const char* users, const char* server, const char* preview)
    {
        return SpinUntil(
            [&] {
                return PaneText(*window_, StringId::UsersPane) == users &&
                       PaneText(*window_, StringId::ServerPane) == server &&
                       PaneText(*window_, StringId::PreviewPane) == preview;
            },
            2000);
    }

    void StartServer()
    {
        window_->RunCommand(Command::StartServer);
        ASSERT_TRUE(window_->IsServerRunning());
        // The listening thread binds the port soon after the start.
        ASSERT_TRUE(SpinUntil([&] { return window_->Controller()->GetListeningPort() != 0; }, 3000));
        prompt_.Clear();
    }

    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, StartsPreviewingInAFixedWindowWithTheMenuAndThreePanes)
{
    window_ = OpenWindow();
    EXPECT_EQ(window_->windowTitle(), QString("Brightowl v1.2"));
    EXPECT_TRUE(window_->HostCaptureDevice().IsPreviewing());
    EXPECT_FALSE(window_->IsServerRunning());
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Not Running", "Previewing"));
    EXPECT_TRUE(prompt_.Boxes().empty());

    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_FALSE(window_->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window_->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window_->statusBar()->isSizeGripEnabled());

    QStringList popups;
    int items = 0;
    for (QAction* popup : window_->menuBar()->actions()) {
        popups << popup->text();
        for (QAction* item : popup->menu()->actions())
            items += item->isSeparator() ? 0 : 1;
    }
    EXPECT_EQ(popups, (QStringList{"&File", "&Video", "&Server", "&Help"}));
    EXPECT_EQ(items, 12);
}

TEST_F(MainWindowTest, PanesAreAsWideAsTheirInitialTextsAndKeepTheirWidths)
{
    window_ = OpenWindow();
    const QFontMetrics metrics = window_->statusBar()->fontMetrics();
    for (uint32_t id : {StringId::UsersPane, StringId::ServerPane, StringId::PreviewPane}) {
        const auto* pane = window_->findChild<QLabel*>(QStringLiteral("pane%1").arg(id));
        ASSERT_NE(pane, nullptr);
        const int textWidth = metrics.horizontalAdvance(QString::fromLatin1(LoadResourceString(id)));
        EXPECT_GE(pane->width(), textWidth);
        EXPECT_LE(pane->width(), textWidth + 16);
        EXPECT_EQ(pane->minimumWidth(), pane->maximumWidth());
    }
}

TEST_F(MainWindowTest, MenuItemsRunTheirCommands)
{
    window_ = OpenWindow();
    QAction* preview = nullptr;
    for (QAction* action : window_->menuBar()->findChildren<QAction*>())
        if (action->data().toInt() == Command::Preview)
            preview = action;
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->text(), QString("&Preview"));
    preview->trigger();
    EXPECT_FALSE(window_->HostCaptureDevice().IsPreviewing());
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Not Running", "Not Previewing"));
    preview->trigger();
    EXPECT_TRUE(window_->HostCaptureDevice().IsPreviewing());
}

struct GuardCase
{
    const char* name;
    int32_t command;
    const char* message;
};

void PrintTo(const GuardCase& c, std::ostream* os)
{
    *os << c.name;
}

class MainWindowGuardTest : public MainWindowTest, public testing::WithParamInterface<GuardCase>
{
};

TEST_P(MainWindowGuardTest, RefusesWithItsMessageWhileTheServerRuns)
{
    window_ = OpenWindow();
    StartServer();
    window_->RunCommand(GetParam().command);

    const auto boxes = prompt_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Server Message");
    EXPECT_EQ(boxes[0].text, GetParam().message);
    EXPECT_EQ(boxes[0].icon, PromptIcon::None);
    EXPECT_TRUE(answerer_.Seen().empty()); // no dialog ran
    EXPECT_EQ(driverDialogs_.formatDialogs + driverDialogs_.sourceDialogs, 0);
    EXPECT_TRUE(window_->HostCaptureDevice().IsPreviewing());
    EXPECT_TRUE(window_->IsServerRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MainWindowGuardTest,
    testing::Values(
        GuardCase{"Preview", Command::Preview, "Please shut down the server before changing preview mode."},
        GuardCase{"SelectDriver", Command::SelectDriver, "Please shut down the server before changing video drivers."},
        GuardCase{"Format", Command::Format, "Please shut down the server before making changes to the Video Format."},
        GuardCase{"Source", Command::Source, "Please shut down the server before making changes to the Video Source."},
        GuardCase{"Wizard", Command::Wizard, "Please shut down the server before using the wizard."}),
    [](const testing::TestParamInfo<GuardCase>& param) { return std::string(param.param.name); });

TEST_F(MainWindowTest, SetupAboutViewLogReadmeAndStopStillWorkWhileTheServerRuns)
{
    window_ = OpenWindow();
    StartServer();
    answerer_.Then(ModalAnswerer::Reject());
    window_->RunCommand(Command::Setup);
    answerer_.Then(ModalAnswerer::Accept());
    window_->RunCommand(Command::About);
    EXPECT_EQ(answerer_.Seen(), (std::vector<QString>{"brightowl::SetupDialog", "brightowl::AboutDialog"}));

    QFile readme("readme.pdf");
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly));
    readme.close();
    window_->RunCommand(Command::Readme);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], QUrl::fromLocalFile(QDir::current().absoluteFilePath("readme.pdf")));
    window_->RunCommand(Command::ViewLog);
    const auto boxes = prompt_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text, "No log file exists!");

    window_->RunCommand(Command::StopServer);
    EXPECT_FALSE(window_->IsServerRunning());
    EXPECT_EQ(window_->Controller()->IsRunning(), 0);
}

TEST_F(MainWindowTest, ViewLogOpensAnExistingLogAndReadmeReportsAMissingFile)
{
    window_ = OpenWindow();
    QFile log("Brightowl.log");
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.close();
    window_->RunCommand(Command::ViewLog);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].fileName(), QString("Brightowl.log"));
    EXPECT_TRUE(prompt_.Boxes().empty());

    window_->RunCommand(Command::Readme);
    ASSERT_EQ(prompt_.Boxes().size(), 1u);
    EXPECT_EQ(prompt_.Boxes()[0].caption, "ERROR");
    EXPECT_EQ(prompt_.Boxes()[0].text, "Readme file missing!");
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(MainWindowTest, StartAndStopTwiceChangeOnlyOnce)
{
    window_ = OpenWindow();
    window_->RunCommand(Command::StopServer); // not running: nothing
    EXPECT_FALSE(window_->IsServerRunning());
    StartServer();
    const uint32_t port = window_->Controller()->GetListeningPort();
    window_->RunCommand(Command::StartServer); // running: nothing, no message
    EXPECT_TRUE(prompt_.Boxes().empty());
    EXPECT_EQ(window_->Controller()->GetListeningPort(), port);
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Running", "Previewing"));

    window_->RunCommand(Command::StopServer);
    EXPECT_FALSE(window_->IsServerRunning());
    EXPECT_FALSE(window_->HostCaptureDevice().IsStreaming());
    window_->RunCommand(Command::StopServer);
    EXPECT_TRUE(prompt_.Boxes().empty());
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Not Running", "Previewing"));

    StartServer(); // and again after a stop
    window_->RunCommand(Command::StopServer);
    EXPECT_FALSE(window_->IsServerRunning());
}

TEST_F(MainWindowTest, StartServerWithoutACameraReportsItAndStaysStopped)
{
    Settings noCamera;
    noCamera.driverIndex = 7; // no driver there
    window_ = OpenWindow(noCamera);
    EXPECT_EQ(window_->VideoWidth(), 640);
    EXPECT_EQ(window_->VideoHeight(), 480);
    window_->RunCommand(Command::StartServer);
    const auto boxes = prompt_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "There was an error starting the server.  Your camera may not be working properly.");
    EXPECT_FALSE(window_->IsServerRunning());
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Not Running", "Not Previewing"));

    prompt_.Clear();
    window_->RunCommand(Command::Format); // no driver: nothing, and no message
    window_->RunCommand(Command::Preview);
    EXPECT_TRUE(prompt_.Boxes().empty());
    EXPECT_EQ(driverDialogs_.formatDialogs, 0);
}

TEST_F(MainWindowTest, PreviewStaysAsItWasWhileTheServerRuns)
{
    window_ = OpenWindow();
    window_->RunCommand(Command::Preview);
    ASSERT_FALSE(window_->HostCaptureDevice().IsPreviewing());
    StartServer();
    EXPECT_FALSE(window_->HostCaptureDevice().IsPreviewing());
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Running", "Not Previewing"));
    window_->RunCommand(Command::StopServer);
    EXPECT_FALSE(window_->HostCaptureDevice().IsPreviewing());
    window_->RunCommand(Command::Preview);
    EXPECT_TRUE(window_->HostCaptureDevice().IsPreviewing());
    StartServer();
    EXPECT_TRUE(window_->HostCaptureDevice().IsPreviewing());
}

TEST_F(MainWindowTest, OneConnectedViewerShowsAsOneUserWithinASecondWithoutOtherEvents)
{
    window_ = OpenWindow();
    window_->RunCommand(Command::Preview); // no preview frames to wake the loop
    StartServer();
    ASSERT_TRUE(PanesRead("0 user(s) connected", "Server Running", "Not Previewing"));

    auto viewer = std::make_unique<StreamViewer>(window_->Controller()->GetListeningPort());
    ASSERT_TRUE(viewer->Connected());
    // One event loop pass with nothing of its own to do for 1.5 s: only the window's own nudge
    // can bring the count, which a server thread changed, to the pane.
    answerer_.Pause();
    QEventLoop idle;
    QTimer::singleShot(1500, &idle, &QEventLoop::quit);
    idle.exec();
    answerer_.Resume();
    EXPECT_EQ(PaneText(*window_, StringId::UsersPane), QString("1 user(s) connected"));
    EXPECT_EQ(window_->Controller()->GetConnectionCount(), 1);

    viewer.reset(); // a viewer that reads nothing would hold its thread until the send time-out
    window_->RunCommand(Command::StopServer);
    EXPECT_TRUE(PanesRead("0 user(s) connected", "Server Not Running", "Not Previewing"));
}

TEST_F(MainWindowTest, AnIdleWindowLetsTheEventLoopSleep)
{
    window_ = OpenWindow();
    window_->RunCommand(Command::Preview);
    ASSERT_TRUE(PanesRead("0 user(s) connected", "Server Not Running", "Not Previewing"));
    int passes = 0;
    answerer_.Pause();
    const QMetaObject::Connection counting = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&] { ++passes; });
    QEventLoop idle;
    QTimer::singleShot(300, &idle, &QEventLoop::quit);
    idle.exec();
    QObject::disconnect(counting);
    answerer_.Resume();
    // A pane set on every pass repaints and wakes the loop again: thousands of passes.
    EXPECT_LT(passes, 10);
}

TEST_F(MainWindowTest, FitWindowToVideoGivesTheVideoAndTheStatusBarAndKeepsTheCorner)
{
    window_ = OpenWindow();
    EXPECT_EQ(window_->VideoWidth(), 640);
    EXPECT_EQ(window_->VideoHeight(), 480);
    window_->move(120, 90);
    SpinUntil([&] { return window_->pos() == QPoint(120, 90); }, 500);
    const QPoint corner = window_->pos();

    driverDialogs_.modeToChoose = VideoMode{0, {320, 240}, {1, 30}};
    window_->RunCommand(Command::Format);
    EXPECT_EQ(driverDialogs_.formatDialogs, 1);
    SpinUntil([&] { return window_->VideoArea()->size() == QSize(320, 240); }, 1000);

    EXPECT_EQ(window_->VideoWidth(), 320);
    EXPECT_EQ(window_->VideoHeight(), 240);
    EXPECT_EQ(window_->VideoArea()->size(), QSize(320, 240));
    // The capture window fills the client area above the status bar, at its top-left corner.
    const auto captureWindows = window_->VideoArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(captureWindows.size(), 1);
    EXPECT_EQ(captureWindows[0]->geometry(), QRect(0, 0, 320, 240));
    EXPECT_EQ(window_->width(), 320);
    EXPECT_EQ(window_->VideoArea()->geometry().bottom() + 1, window_->statusBar()->geometry().top());
    EXPECT_EQ(window_->statusBar()->geometry().bottom() + 1, window_->height());
    EXPECT_EQ(window_->height(), window_->menuBar()->height() + 240 + window_->statusBar()->height());
    EXPECT_EQ(window_->pos(), corner);
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());

    window_->RunCommand(Command::Source); // the source dialog refits too, to the same size
    EXPECT_EQ(driverDialogs_.sourceDialogs, 1);
    EXPECT_EQ(window_->VideoArea()->size(), QSize(320, 240));
}

} // namespace
} // namespace brightowl

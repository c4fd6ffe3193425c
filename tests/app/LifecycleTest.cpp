#include "app/CameraApp.h"
#include "app/MainWindow.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "server/ServerController.h"
#include "tests/app/AppFixture.h"
#include "tests/app/SettingsTesting.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace brightowl {
namespace {

using test::ModalAnswerer;

class LifecycleTest : public test::AppFixture
{
protected:
    // Runs the program: once its main window is shown, whenShown runs on the event loop. A run that
    // has not ended after a while is ended and fails the test.
    int RunProgram(const std::function<void(MainWindow&)>& whenShown = {})
    {
        CameraApp app(Services());
        QTimer poll;
        poll.setInterval(20);
        bool ran = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!ran && app.Window() != nullptr && app.Window()->isVisible()) {
                ran = true;
                if (whenShown)
                    whenShown(*app.Window());
            }
        });
        poll.start();
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "the program did not end";
            QCoreApplication::quit();
        });
        watchdog.start(20000);
        return app.Run();
    }

    // Exit answered with OK, and the closing dialog with its button.
    void ExitThroughTheMenu(MainWindow& window)
    {
        prompt_.AnswerQuestionsWith(true);
        answerer_.Then(ModalAnswerer::Accept());
        window.RunCommand(Command::Exit);
    }

    std::vector<QString> Seen() const { return answerer_.Seen(); }
};

TEST_F(LifecycleTest, FirstRunShowsTheWizardAloneThenTheWindowPreviewingAndTheNextRunDoesNot)
{
    ASSERT_FALSE(std::filesystem::exists(KeyFolder()));
    bool windowHiddenAtWizard = false;
    bool previewOffAtWizard = false;
    answerer_.Then([&](QWidget* wizard) {
        events_.push_back("wizard");
        MainWindow* window = FindMainWindow();
        windowHiddenAtWizard = window != nullptr && !window->isVisible();
        previewOffAtWizard = window != nullptr && !window->HostCaptureDevice().IsPreviewing();
        EXPECT_NE(window->Controller(), nullptr);
        EXPECT_EQ(window->VideoWidth(), 640);
        ModalAnswerer::Reject()(wizard);
    });
    QString users, server, preview;
    const int code = RunProgram([&](MainWindow& window) {
        events_.push_back("shown");
        test::SpinUntil([&] { return PaneText(window, StringId::PreviewPane) == "Previewing"; }, 2000);
        users = PaneText(window, StringId::UsersPane);
        server = PaneText(window, StringId::ServerPane);
        preview = PaneText(window, StringId::PreviewPane);
        ExitThroughTheMenu(window);
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(events_, (std::vector<std::string>{"socket layer after settings", "capture window", "wizard", "shown"}));
    EXPECT_TRUE(windowHiddenAtWizard);
    EXPECT_TRUE(previewOffAtWizard);
    EXPECT_EQ(users, QString("0 user(s) connected"));
    EXPECT_EQ(server, QString("Server Not Running"));
    EXPECT_EQ(preview, QString("Previewing"));
    EXPECT_EQ(Seen(), (std::vector<QString>{"brightowl::WizardDialog", "brightowl::ThankYouDialog"}));

    // The end saved "frun" as zero: no wizard the next time.
    EXPECT_EQ(RunProgram([&](MainWindow& window) { ExitThroughTheMenu(window); }), 1);
    EXPECT_EQ(Seen().size(), 3u);
    EXPECT_EQ(Seen().back(), QString("brightowl::ThankYouDialog"));
}

TEST_F(LifecycleTest, ExitAnsweredCancelChangesNothing)
{
    StoreSettings(Settings{});
    bool stillOpen = false;
    const int code = RunProgram([&](MainWindow& window) {
        prompt_.AnswerQuestionsWith(false);
        window.RunCommand(Command::Exit);
        stillOpen = window.isVisible() && !window.IsClosed() && window.HostCaptureDevice().IsPreviewing();
        ExitThroughTheMenu(window);
    });
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(stillOpen);
    const auto boxes = prompt_.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Quit?");
    EXPECT_EQ(boxes[0].text, "Are you sure you want to quit?");
    EXPECT_TRUE(boxes[0].question);
    EXPECT_EQ(boxes[0].icon, PromptIcon::None);
}

TEST_F(LifecycleTest, ExitWithTheServerRunningStopsItHidesTheWindowAndSavesBeforeThanking)
{
    StoreSettings(Settings{});
    bool hiddenAtThanks = false;
    bool controllerGoneAtThanks = false;
    Settings savedAtThanks;
    const int code = RunProgram([&](MainWindow& window) {
        window.HostSettings().port = 0;
        window.HostSettings().maxClients = 9; // a change that only the closing save stores
        window.ApplySettings();
        window.RunCommand(Command::StartServer);
        ASSERT_TRUE(window.IsServerRunning());
        prompt_.AnswerQuestionsWith(true);
        answerer_.Then([&](QWidget* thanks) {
            hiddenAtThanks = !window.isVisible();
            controllerGoneAtThanks = window.Controller() == nullptr;
            EXPECT_FALSE(window.HostCaptureDevice().IsStreaming());
            savedAtThanks = StoredSettings();
            ModalAnswerer::Accept()(thanks);
        });
        window.RunCommand(Command::Exit);
    });
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(hiddenAtThanks);
    EXPECT_TRUE(controllerGoneAtThanks);
    EXPECT_EQ(savedAtThanks.maxClients, 9u);
    EXPECT_EQ(Seen(), (std::vector<QString>{"brightowl::ThankYouDialog"}));
}

TEST_F(LifecycleTest, TheCloseBoxAsksNothingAndStillStopsTheServerAndThanks)
{
    StoreSettings(Settings{});
    bool controllerGoneAtThanks = false;
    const int code = RunProgram([&](MainWindow& window) {
        window.HostSettings().port = 0;
        window.ApplySettings();
        window.RunCommand(Command::StartServer);
        ASSERT_TRUE(window.IsServerRunning());
        answerer_.Then([&](QWidget* thanks) {
            controllerGoneAtThanks = window.Controller() == nullptr;
            ModalAnswerer::Accept()(thanks);
        });
        window.close();
    });
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(prompt_.Boxes().empty());
    EXPECT_TRUE(controllerGoneAtThanks);
    EXPECT_EQ(Seen(), (std::vector<QString>{"brightowl::ThankYouDialog"}));
}

TEST_F(LifecycleTest, ALoopThatEndsWithTheWindowOpenStillRunsTheDestructionSteps)
{
    StoreSettings(Settings{});
    answerer_.Then(ModalAnswerer::Accept());
    const int code = RunProgram([&](MainWindow& window) {
        window.HostSettings().maxClients = 7;
        QCoreApplication::quit();
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(Seen(), (std::vector<QString>{"brightowl::ThankYouDialog"}));
    EXPECT_EQ(StoredSettings().maxClients, 7u);
}

TEST_F(LifecycleTest, SocketLayerFailureStopsTheStartUpSavesThanksAndEndsWithoutTheWindow)
{
    Settings stored;
    stored.port = 8081;
    StoreSettings(stored);
    std::filesystem::remove(KeyFolder() / "frun");
    socketsWork_ = false;
    bool windowShownAtThanks = true;
    answerer_.Then([&](QWidget* thanks) {
        MainWindow* window = FindMainWindow();
        windowShownAtThanks = window == nullptr || window->isVisible();
        ModalAnswerer::Accept()(thanks);
    });
    bool loopRan = false;
    EXPECT_EQ(RunProgram([&](MainWindow&) { loopRan = true; }), 1);
    EXPECT_FALSE(loopRan);
    EXPECT_FALSE(windowShownAtThanks);
    EXPECT_EQ(events_, (std::vector<std::string>{"socket layer after settings"})); // no capture window
    const auto boxes = prompt_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text, "Fatal error initializing sockets!");
    EXPECT_EQ(Seen(), (std::vector<QString>{"brightowl::ThankYouDialog"}));
    // The settings as loaded were saved.
    EXPECT_TRUE(std::filesystem::exists(KeyFolder() / "frun"));
    EXPECT_EQ(StoredSettings(), stored);
}

TEST_F(LifecycleTest, CaptureWindowFailureStopsTheStartUpBeforeTheWizardAndStillSavesAndThanks)
{
    factory_.fail = true; // and a first run: the wizard must not come
    answerer_.Then(ModalAnswerer::Accept());
    bool loopRan = false;
    EXPECT_EQ(RunProgram([&](MainWindow&) { loopRan = true; }), 1);
    EXPECT_FALSE(loopRan);
    EXPECT_EQ(events_, (std::vector<std::string>{"socket layer after settings", "capture window"}));
    const auto boxes = prompt_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text,
              "Error initializing vfw capture window!\nTry reinstalling camera drivers and ensure it is plugged in.");
    EXPECT_EQ(Seen(), (std::vector<QString>{"brightowl::ThankYouDialog"}));
    EXPECT_TRUE(std::filesystem::exists(KeyFolder() / "frun"));
}

TEST_F(LifecycleTest, ApplySettingsBeforeTheControllerExistsDoesNothing)
{
    socketsWork_ = false;
    answerer_.Then(ModalAnswerer::Accept());
    MainWindow window(Services()); // stops before the controller, closed at once
    ASSERT_TRUE(window.IsClosed());
    ASSERT_EQ(window.Controller(), nullptr);
    window.HostSettings().jpegQuality = 5;
    window.ApplySettings();
    EXPECT_EQ(window.Controller(), nullptr);
    EXPECT_EQ(window.HostSettings().jpegQuality, 5u);
}

} // namespace
} // namespace brightowl

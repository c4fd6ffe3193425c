#include "app/QtPrompt.h"
#include "tests/app/QtTestSupport.h"

#include <QMessageBox>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace brightowl {
namespace {

using test::ModalAnswerer;
using test::SpinUntil;

QMessageBox* VisibleBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible())
            return box;
    return nullptr;
}

TEST(QtPromptTest, MessageWithoutCaptionShowsTheProgramNameTextAndIcon)
{
    QtPrompt prompt;
    ModalAnswerer answerer;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerer.Then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        EXPECT_EQ(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
    prompt.Message("", "two\nlines", PromptIcon::Warning);
    EXPECT_EQ(title, QString("app_tests"));
    EXPECT_EQ(title, QtPrompt::ApplicationTitle());
    EXPECT_EQ(text, QString("two\nlines"));
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(QtPromptTest, QuestionIsTrueOnlyForOk)
{
    QtPrompt prompt;
    ModalAnswerer answerer;
    QString title;
    answerer.Then([&](QWidget* modal) {
        title = modal->windowTitle();
        ModalAnswerer::ClickBox(QMessageBox::Cancel)(modal);
    });
    answerer.Then(ModalAnswerer::ClickBox(QMessageBox::Ok));
    EXPECT_FALSE(prompt.Question("Quit?", "Are you sure you want to quit?", PromptIcon::None));
    EXPECT_EQ(title, QString("Quit?"));
    EXPECT_TRUE(prompt.Question("Quit?", "Are you sure you want to quit?", PromptIcon::None));
}

TEST(QtPromptTest, QuestionFromAnotherThreadIsAskedOnTheUserInterfaceThread)
{
    QtPrompt prompt;
    std::atomic<int> answer{-1};
    std::thread worker([&] { answer = prompt.Question("Overwrite?", "Sure?", PromptIcon::Question) ? 1 : 0; });
    ASSERT_TRUE(SpinUntil([] { return VisibleBox() != nullptr; }));
    EXPECT_EQ(answer.load(), -1); // still waiting for the user
    EXPECT_EQ(VisibleBox()->text(), QString("Sure?"));
    VisibleBox()->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(SpinUntil([&] { return answer.load() != -1; }));
    worker.join();
    EXPECT_EQ(answer.load(), 1);
}

TEST(QtPromptTest, WorkerMessageStopsWaitingOnTheStopFlagAndLeavesTheBoxUp)
{
    QtPrompt prompt;
    std::atomic<int32_t> stopFlag{0};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        prompt.MessageFromWorker("", "The port chosen may be in use", PromptIcon::Warning, stopFlag);
        returned = true;
    });
    ASSERT_TRUE(SpinUntil([] { return VisibleBox() != nullptr; }));
    test::SpinFor(100);
    EXPECT_FALSE(returned.load());

    // Stop Server waits for the worker on this thread without serving the event loop.
    stopFlag = 1;
    worker.join();
    EXPECT_TRUE(returned.load());
    ASSERT_NE(VisibleBox(), nullptr);
    VisibleBox()->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(SpinUntil([] { return VisibleBox() == nullptr; }));
}

TEST(QtPromptTest, WorkerMessageWhileTheUserInterfaceThreadIsBlockedStillReachesTheUser)
{
    QtPrompt prompt;
    std::atomic<int32_t> stopFlag{0};
    std::thread worker([&] { prompt.MessageFromWorker("", "late", PromptIcon::Warning, stopFlag); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stopFlag = 1;
    worker.join(); // returns although the box was never shown
    ASSERT_TRUE(SpinUntil([] { return VisibleBox() != nullptr; }));
    EXPECT_EQ(VisibleBox()->text(), QString("late"));
    VisibleBox()->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(SpinUntil([] { return VisibleBox() == nullptr; }));
}

} // namespace
} // namespace brightowl

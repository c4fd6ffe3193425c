#include "dialogs/AboutDialog.h"
#include "dialogs/ThankYouDialog.h"

#include "dialogs/HyperlinkLabel.h"
#include "tests/dialogs/FakeLinkShell.h"
#include "tests/dialogs/ModalRunner.h"
#include "tests/support/RecordingPrompt.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

namespace brightowl::test {
namespace {

constexpr char kSite[] = "http://www.quillmoor.example/brightowl/";

void Click(QWidget& widget)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const QPointF local(1, 1);
        QMouseEvent event(type, local, widget.mapToGlobal(local), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
}

template <typename Dialog> void ExpectLinkAttached(Dialog& dialog)
{
    HyperlinkLabel* link = dialog.template findChild<HyperlinkLabel*>("1019");
    ASSERT_EQ(link, &dialog.Link());
    EXPECT_TRUE(link->IsAttached());
    EXPECT_EQ(link->text(), kSite);
    EXPECT_EQ(link->Url(), kSite);
    EXPECT_EQ(link->toolTip(), kSite);
}

TEST(AboutDialogTest, AttachesItsLink)
{
    AboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "About");
    ExpectLinkAttached(dialog);
}

TEST(AboutDialogTest, AFailedOpenShowsTheMessageAndTheDialogStaysOpen)
{
    AboutDialog dialog;
    FakeLinkShell shell;
    shell.desktopResult = 2;
    RecordingPrompt prompt;
    dialog.Link().SetShell(&shell);
    dialog.Link().SetPrompt(&prompt);
    const int result = ExecWithSteps(dialog, [&](QDialog& open) {
        Click(dialog.Link());
        EXPECT_TRUE(open.isVisible());
        EXPECT_EQ(prompt.Texts(),
                  (std::vector<std::string>{"Unable to open hyperlink:\n\nThe specified file was not found."}));
        open.findChild<QPushButton*>("1")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(shell.opened, (std::vector<std::string>{kSite}));
}

TEST(ThankYouDialogTest, AttachesItsLinkAndEndsWithItsButton)
{
    ThankYouDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Thank You!");
    ExpectLinkAttached(dialog);
    const int result = ExecWithSteps(dialog, [](QDialog& open) {
        auto* button = open.findChild<QPushButton*>("1");
        EXPECT_EQ(button->text(), "Thank You!");
        button->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
}

TEST(ThankYouDialogTest, WithoutAnOwnerOpensCentredOnTheScreen)
{
    // Shown as the program's last window, when the main window is already gone.
    auto owner = std::make_unique<QWidget>();
    owner->show();
    owner.reset();
    ThankYouDialog dialog;
    ExecWithSteps(dialog, [](QDialog& open) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((open.frameGeometry().center() - screen.center()).manhattanLength(), 2);
        open.reject();
    });
}

TEST(AboutDialogTest, OpensCentredOverAVisibleOwner)
{
    QWidget owner;
    owner.setGeometry(50, 60, 700, 500);
    owner.show();
    AboutDialog dialog(&owner);
    ExecWithSteps(dialog, [&owner](QDialog& open) {
        EXPECT_LE((open.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);
        open.reject();
    });
}

} // namespace
} // namespace brightowl::test

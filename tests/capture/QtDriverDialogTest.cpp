#include "capture/qt/QtDriverDialogs.h"

#include "capture/V4l2Driver.h"
#include "capture/qt/FormatDialog.h"
#include "capture/qt/SourceDialog.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace brightowl {
namespace {

using test::SimulatedV4l2Device;

// Answers the modal dialog that the code under test is about to show, and closes any modal left
// open after a few seconds so that a broken dialog fails the test instead of hanging it.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer) : answer_(std::move(answer))
    {
        QTimer::singleShot(0, [this] { Answer(); });
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            timedOut_ = true;
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
        watchdog_.start(5000);
    }
    bool Answered() const { return answered_ && !timedOut_; }
    QWidget* Parent() const { return parent_; }

private:
    void Answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            QTimer::singleShot(10, [this] { Answer(); }); // not shown yet
            return;
        }
        parent_ = modal->parentWidget();
        answered_ = true;
        answer_(modal);
    }

    std::function<void(QWidget*)> answer_;
    QTimer watchdog_;
    QWidget* parent_ = nullptr;
    bool answered_ = false;
    bool timedOut_ = false;
};

class QtDriverDialogsTest : public testing::Test
{
protected:
    QtDriverDialogsTest()
    {
        device_.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
        EXPECT_TRUE(driver_.Open());
    }

    SimulatedV4l2Device device_;
    V4l2Driver driver_{device_, {"/dev/video0", "Front Camera", "simcam", "usb-1", 0x060137}};
    QtDriverDialogs dialogs_;
    QWidget window_;
};

TEST_F(QtDriverDialogsTest, FormatDialogIsModalOverTheWindowAndOkApplies)
{
    ModalAnswer answer([](QWidget* modal) {
        ASSERT_NE(qobject_cast<FormatDialog*>(modal), nullptr);
        modal->findChild<QComboBox*>("pixelFormat")->setCurrentIndex(1);
        modal->findChild<QComboBox*>("frameSize")->setCurrentIndex(0);
        modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    dialogs_.ShowFormatDialog(driver_, &window_);

    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(answer.Parent(), &window_);
    EXPECT_EQ(driver_.CurrentMode(), (VideoMode{V4L2_PIX_FMT_MJPEG, {320, 240}, {1, 30}}));
}

TEST_F(QtDriverDialogsTest, FormatDialogCancelledLeavesTheMode)
{
    ModalAnswer answer([](QWidget* modal) {
        modal->findChild<QComboBox*>("pixelFormat")->setCurrentIndex(1);
        modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    dialogs_.ShowFormatDialog(driver_, nullptr);

    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(driver_.CurrentMode(), (VideoMode{V4L2_PIX_FMT_YUYV, {640, 480}, {1, 30}}));
}

TEST_F(QtDriverDialogsTest, SourceDialogChangesStayAfterClose)
{
    ModalAnswer answer([](QWidget* modal) {
        ASSERT_NE(qobject_cast<SourceDialog*>(modal), nullptr);
        modal->findChild<QSlider*>(QStringLiteral("control-%1").arg(V4L2_CID_BRIGHTNESS))->setValue(42);
        modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->click();
    });
    dialogs_.ShowSourceDialog(driver_, &window_);

    EXPECT_TRUE(answer.Answered());
    EXPECT_EQ(device_.ControlValue("video0", V4L2_CID_BRIGHTNESS), 42);
}

} // namespace
} // namespace brightowl

#include "capture/qt/FormatDialog.h"

#include "capture/V4l2Driver.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace brightowl {

inline void PrintTo(const VideoMode& mode, std::ostream* out)
{
    *out << std::string(reinterpret_cast<const char*>(&mode.fourcc), 4) << ' ' << mode.size.width << 'x'
         << mode.size.height << " at " << mode.interval.numerator << '/' << mode.interval.denominator << " s";
}

namespace {

using test::SimulatedV4l2Device;

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

class FormatDialogTest : public testing::Test
{
protected:
    FormatDialogTest()
    {
        device_.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
        EXPECT_TRUE(driver_.Open());
        dialog_ = std::make_unique<FormatDialog>(driver_);
    }
    QComboBox* Box(const char* name) { return dialog_->findChild<QComboBox*>(name); }
    void Press(QDialogButtonBox::StandardButton which)
    {
        dialog_->findChild<QDialogButtonBox*>()->button(which)->click();
    }

    SimulatedV4l2Device device_;
    V4l2Driver driver_{device_, {"/dev/video0", "Front Camera", "simcam", "usb-1", 0x060137}};
    std::unique_ptr<FormatDialog> dialog_;
};

TEST_F(FormatDialogTest, ShowsTheDeviceChoicesWithTheCurrentModeSelected)
{
    EXPECT_EQ(dialog_->windowTitle(), "Video Format");
    EXPECT_EQ(Items(Box("pixelFormat")), (QStringList{"YUYV 4:2:2 (YUYV)", "Motion-JPEG (MJPG)"}));
    EXPECT_EQ(Box("pixelFormat")->currentIndex(), 0);
    EXPECT_EQ(Items(Box("frameSize")), (QStringList{"640 x 480", "1280 x 720"}));
    EXPECT_EQ(Box("frameSize")->currentText(), "640 x 480");
    EXPECT_EQ(Items(Box("frameRate")), (QStringList{"30 fps", "15 fps"}));
    EXPECT_EQ(Box("frameRate")->currentText(), "30 fps");
}

TEST_F(FormatDialogTest, ChangingTheFormatOffersItsSizesAndKeepsTheCurrentOne)
{
    Box("pixelFormat")->setCurrentIndex(1);
    EXPECT_EQ(Items(Box("frameSize")), (QStringList{"320 x 240", "640 x 480", "1280 x 720"}));
    EXPECT_EQ(Box("frameSize")->currentText(), "640 x 480");
    EXPECT_EQ(dialog_->ChosenMode(), (VideoMode{V4L2_PIX_FMT_MJPEG, {640, 480}, {1, 30}}));
    EXPECT_EQ(device_.Format("video0").pixelformat, uint32_t{V4L2_PIX_FMT_YUYV}) << "nothing set before OK";
}

TEST_F(FormatDialogTest, OkSetsTheChosenModeOnTheDevice)
{
    Box("pixelFormat")->setCurrentIndex(1);
    Box("frameSize")->setCurrentIndex(2);
    Box("frameRate")->setCurrentIndex(1);
    Press(QDialogButtonBox::Ok);

    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    const v4l2_pix_format format = device_.Format("video0");
    EXPECT_EQ(format.pixelformat, uint32_t{V4L2_PIX_FMT_MJPEG});
    EXPECT_EQ(format.width, 1280u);
    EXPECT_EQ(format.height, 720u);
    EXPECT_EQ(device_.TimePerFrame("video0").denominator, 15u);
    EXPECT_EQ(driver_.CurrentMode(), (VideoMode{V4L2_PIX_FMT_MJPEG, {1280, 720}, {1, 15}}));
}

TEST_F(FormatDialogTest, CancelChangesNothing)
{
    Box("pixelFormat")->setCurrentIndex(1);
    Box("frameSize")->setCurrentIndex(0);
    Box("frameRate")->setCurrentIndex(1);
    Press(QDialogButtonBox::Cancel);

    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_EQ(driver_.CurrentMode(), (VideoMode{V4L2_PIX_FMT_YUYV, {640, 480}, {1, 30}}));
}

TEST(FormatDialogClosedDriver, OffersNothingAndOkDoesNothing)
{
    SimulatedV4l2Device device;
    device.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    V4l2Driver driver(device, {"/dev/video0", "Front Camera", "simcam", "usb-1", 0x060137});
    FormatDialog dialog(driver);
    EXPECT_EQ(dialog.findChild<QComboBox*>("pixelFormat")->count(), 0);
    EXPECT_FALSE(dialog.findChild<QComboBox*>("frameSize")->isEnabled());
    EXPECT_FALSE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
}

} // namespace
} // namespace brightowl

#include "capture/qt/SourceDialog.h"

#include "capture/V4l2Driver.h"
#include "tests/support/SimulatedV4l2Device.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace brightowl {
namespace {

using test::SimulatedV4l2Device;

QString Name(uint32_t id, const char* suffix = "")
{
    return QStringLiteral("control-%1%2").arg(id).arg(suffix);
}

class SourceDialogTest : public testing::Test
{
protected:
    SourceDialogTest()
    {
        device_.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
        EXPECT_TRUE(driver_.Open());
        dialog_ = std::make_unique<SourceDialog>(driver_);
    }
    template <typename Widget> Widget* Find(uint32_t id, const char* suffix = "")
    {
        auto* widget = dialog_->findChild<Widget*>(Name(id, suffix));
        EXPECT_NE(widget, nullptr) << Name(id, suffix).toStdString();
        return widget;
    }
    int32_t Value(uint32_t id) const { return device_.ControlValue("video0", id); }

    SimulatedV4l2Device device_;
    V4l2Driver driver_{device_, {"/dev/video0", "Front Camera", "simcam", "usb-1", 0x060137}};
    std::unique_ptr<SourceDialog> dialog_;
};

TEST_F(SourceDialogTest, OneRowPerControlShowingItsValue)
{
    EXPECT_EQ(dialog_->windowTitle(), "Video Source");
    auto* slider = Find<QSlider>(V4L2_CID_BRIGHTNESS);
    auto* spin = Find<QSpinBox>(V4L2_CID_BRIGHTNESS, "-value");
    auto* box = Find<QCheckBox>(V4L2_CID_AUTO_WHITE_BALANCE);
    auto* menu = Find<QComboBox>(V4L2_CID_POWER_LINE_FREQUENCY);
    auto* button = Find<QPushButton>(V4L2_CID_PAN_RESET);
    ASSERT_TRUE(slider && spin && box && menu && button);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 255);
    EXPECT_EQ(slider->value(), 128);
    EXPECT_EQ(spin->value(), 128);
    EXPECT_TRUE(box->isChecked());
    ASSERT_EQ(menu->count(), 3);
    EXPECT_EQ(menu->itemText(2), "60 Hz");
    EXPECT_EQ(menu->currentText(), "50 Hz");
    EXPECT_EQ(button->text(), "Pan, Reset");
    EXPECT_EQ(dialog_->findChild<QWidget*>(Name(V4L2_CID_HUE)), nullptr) << "a disabled control has no row";
}

TEST_F(SourceDialogTest, ChangesReachTheDeviceLive)
{
    Find<QSlider>(V4L2_CID_BRIGHTNESS)->setValue(200);
    EXPECT_EQ(Value(V4L2_CID_BRIGHTNESS), 200);
    EXPECT_EQ(Find<QSpinBox>(V4L2_CID_BRIGHTNESS, "-value")->value(), 200);
    Find<QSpinBox>(V4L2_CID_BRIGHTNESS, "-value")->setValue(10);
    EXPECT_EQ(Value(V4L2_CID_BRIGHTNESS), 10);
    EXPECT_EQ(Find<QSlider>(V4L2_CID_BRIGHTNESS)->value(), 10);

    Find<QCheckBox>(V4L2_CID_AUTO_WHITE_BALANCE)->click();
    EXPECT_EQ(Value(V4L2_CID_AUTO_WHITE_BALANCE), 0);
    Find<QComboBox>(V4L2_CID_POWER_LINE_FREQUENCY)->setCurrentIndex(2);
    EXPECT_EQ(Value(V4L2_CID_POWER_LINE_FREQUENCY), 2);
    Find<QPushButton>(V4L2_CID_PAN_RESET)->click();
    EXPECT_EQ(device_.ButtonPresses("video0", V4L2_CID_PAN_RESET), 1);
}

TEST_F(SourceDialogTest, ResetSetsEveryDefaultAndShowsIt)
{
    Find<QSlider>(V4L2_CID_BRIGHTNESS)->setValue(3);
    Find<QCheckBox>(V4L2_CID_AUTO_WHITE_BALANCE)->click();
    Find<QComboBox>(V4L2_CID_POWER_LINE_FREQUENCY)->setCurrentIndex(0);

    dialog_->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Reset)->click();

    EXPECT_EQ(Value(V4L2_CID_BRIGHTNESS), 128);
    EXPECT_EQ(Value(V4L2_CID_AUTO_WHITE_BALANCE), 1);
    EXPECT_EQ(Value(V4L2_CID_POWER_LINE_FREQUENCY), 1);
    EXPECT_EQ(Find<QSlider>(V4L2_CID_BRIGHTNESS)->value(), 128);
    EXPECT_EQ(Find<QSpinBox>(V4L2_CID_BRIGHTNESS, "-value")->value(), 128);
    EXPECT_TRUE(Find<QCheckBox>(V4L2_CID_AUTO_WHITE_BALANCE)->isChecked());
    EXPECT_EQ(Find<QComboBox>(V4L2_CID_POWER_LINE_FREQUENCY)->currentText(), "50 Hz");
    EXPECT_EQ(device_.ButtonPresses("video0", V4L2_CID_PAN_RESET), 0) << "reset presses no button";
}

TEST_F(SourceDialogTest, ResetGetsPastAnAutomaticModeThatRefusedTheManualValue)
{
    // The user set the focus by hand, then switched the automatic focus on (off by default).
    Find<QCheckBox>(V4L2_CID_FOCUS_AUTO)->setChecked(false);
    Find<QSpinBox>(V4L2_CID_FOCUS_ABSOLUTE, "-value")->setValue(100);
    ASSERT_EQ(Value(V4L2_CID_FOCUS_ABSOLUTE), 100);
    Find<QCheckBox>(V4L2_CID_FOCUS_AUTO)->setChecked(true);
    ASSERT_EQ(Value(V4L2_CID_FOCUS_AUTO), 1);

    // The manual focus comes first in the list and is refused until the automatic focus is off.
    dialog_->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Reset)->click();

    EXPECT_EQ(Value(V4L2_CID_FOCUS_AUTO), 0);
    EXPECT_EQ(Value(V4L2_CID_FOCUS_ABSOLUTE), 0);
    EXPECT_EQ(Find<QSlider>(V4L2_CID_FOCUS_ABSOLUTE)->value(), 0);
}

TEST(SourceDialogClosedDriver, SaysThereIsNothingToAdjust)
{
    SimulatedV4l2Device device;
    device.AddNode(SimulatedV4l2Device::Camera("video0", "Front Camera"));
    V4l2Driver driver(device, {"/dev/video0", "Front Camera", "simcam", "usb-1", 0x060137});
    SourceDialog dialog(driver);
    EXPECT_FALSE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Reset)->isEnabled());
    EXPECT_EQ(dialog.findChildren<QSlider*>().size(), 0);
}

} // namespace
} // namespace brightowl

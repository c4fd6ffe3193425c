#include "capture/qt/PreviewWidget.h"
#include "capture/CaptureDevice.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/qt/PreviewFrameStore.h"
#include "capture/qt/QtCaptureWindow.h"
#include "capture/qt/QtCaptureWindowFactory.h"
#include "tests/capture/JpegTestUtil.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace brightowl {
namespace {

// Spins a real event loop until the condition holds or five seconds have passed.
bool SpinUntil(const std::function<bool()>& condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 5000)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool IsRedPixel(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}

bool IsBluePixel(QRgb p)
{
    return qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
}

class NoDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver&, void*) override {}
    void ShowSourceDialog(CaptureDriver&, void*) override {}
};

TEST(PreviewWidget, StartsAs640By480AtTheTopLeftAndPaintsTheNewestFrameUpright)
{
    QWidget parent;
    parent.resize(800, 600);
    auto store = std::make_shared<PreviewFrameStore>();
    auto* widget = new PreviewWidget(store, &parent);
    EXPECT_EQ(widget->geometry(), QRect(0, 0, 640, 480));
    EXPECT_FALSE(widget->ShowNewestFrame());

    test::TwoTonePicture picture(63, 48); // an odd width: padded rows
    store->PresentFrame(picture.header, picture.rows.data());
    ASSERT_TRUE(widget->ShowNewestFrame());
    EXPECT_FALSE(widget->ShowNewestFrame());
    EXPECT_EQ(widget->size(), QSize(63, 48));
    const QImage shown = widget->grab().toImage();
    EXPECT_TRUE(IsRedPixel(shown.pixel(31, 1)));
    EXPECT_TRUE(IsBluePixel(shown.pixel(31, 46)));
    EXPECT_TRUE(IsBluePixel(shown.pixel(62, 46)));

    test::TwoTonePicture topDown(40, 30, false);
    store->PresentFrame(topDown.header, topDown.rows.data());
    ASSERT_TRUE(widget->ShowNewestFrame());
    const QImage second = widget->grab().toImage();
    EXPECT_TRUE(IsRedPixel(second.pixel(20, 1)));
    EXPECT_TRUE(IsBluePixel(second.pixel(20, 28)));
}

TEST(PreviewWidget, TheTimerFollowsThePreviewStateAndRate)
{
    auto store = std::make_shared<PreviewFrameStore>();
    PreviewWidget widget(store, nullptr);
    EXPECT_FALSE(widget.IsPreviewOn());
    widget.SetPreviewRate(50);
    widget.SetPreviewOn(true);
    EXPECT_TRUE(widget.IsPreviewOn());
    EXPECT_EQ(widget.PreviewRate(), 50);
    test::TwoTonePicture picture(16, 16);
    store->PresentFrame(picture.header, picture.rows.data());
    EXPECT_TRUE(SpinUntil([&] { return widget.size() == QSize(16, 16); }));
    widget.SetPreviewOn(false);
    EXPECT_FALSE(widget.IsPreviewOn());
}

class QtCaptureWindowTest : public testing::Test
{
protected:
    SystemDriverCatalog catalog;
    NoDialogs dialogs;
    QtCaptureWindowFactory factory{catalog, dialogs};
};

TEST_F(QtCaptureWindowTest, CreatesAChildOfTheParentAndNothingWithoutOne)
{
    EXPECT_EQ(factory.Create("Capture Window", nullptr, 0, 0, 640, 480), nullptr);
    QWidget parent;
    auto window = factory.Create("Capture Window", &parent, 0, 0, 640, 480);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Exists());
    auto* widget = static_cast<QtCaptureWindow*>(window.get())->Widget();
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &parent);
    EXPECT_EQ(widget->geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(widget->objectName(), "Capture Window");
    std::string name, version;
    EXPECT_TRUE(factory.GetDriverDescription(0, name, version));
    EXPECT_EQ(name, "Brightowl Test Pattern");
    window.reset();
    EXPECT_TRUE(parent.findChildren<PreviewWidget*>().isEmpty());
}

// The program's order at the end: the main window's destruction shuts the device down while the
// capture window exists, the window goes with its parent, then the device's destructor runs the
// shut-down again and sends nothing.
TEST_F(QtCaptureWindowTest, ThePreviewRunsLiveAndTheWindowGoesWithItsParent)
{
    auto parent = std::make_unique<QWidget>();
    CaptureDevice device(factory);
    ASSERT_EQ(device.CreateCaptureWindow(parent.get(), 0, 35), 0);
    ASSERT_EQ(device.StartPreview(), 0);
    EXPECT_TRUE(device.IsPreviewing());
    auto* widget = parent->findChild<PreviewWidget*>();
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->PreviewRate(), 33);
    // The first frame shown is the test pattern: the counter's black box at the top left.
    ASSERT_TRUE(SpinUntil([&] {
        const QImage shown = widget->grab().toImage();
        return qRed(shown.pixel(5, 5)) < 40 && qRed(shown.pixel(300, 470)) + qGreen(shown.pixel(300, 470)) > 60;
    }));
    ASSERT_EQ(device.StartStreaming(), 0);
    ASSERT_TRUE(SpinUntil([&] {
        const int32_t length = device.LockFrame();
        device.CopyFrameAndUnlock(nullptr);
        return length > 0;
    }));
    device.ShutdownCapture();
    EXPECT_FALSE(device.IsStreaming());
    EXPECT_FALSE(device.IsPreviewing());
    const QImage afterDisconnect = widget->grab().toImage();
    EXPECT_EQ(qRed(afterDisconnect.pixel(300, 470)) + qGreen(afterDisconnect.pixel(300, 470)), 0);
    parent.reset();
    device.ShutdownCapture();
}

// Qt may destroy the window's widget while the preview runs (the parent closed first): the window
// stops existing, its driver stops, and what the device then asks is skipped.
TEST_F(QtCaptureWindowTest, AWindowWhoseWidgetIsDestroyedStopsAndNoLongerExists)
{
    auto parent = std::make_unique<QWidget>();
    auto window = factory.Create("Capture Window", parent.get(), 0, 0, 640, 480);
    ASSERT_EQ(window->DriverConnect(0), 1);
    ASSERT_EQ(window->SetPreview(true), 1);
    parent.reset();
    EXPECT_FALSE(window->Exists());
    EXPECT_EQ(window->GetVideoFormatSize(), 0); // the driver was disconnected
    window.reset();
}

} // namespace
} // namespace brightowl

#include "dialogs/DriverSelectDialog.h"

#include "capture/CaptureDevice.h"
#include "capture/CaptureWindow.h"
#include "dialogs/DriverList.h"
#include "resources/DialogBuilder.h"
#include "tests/dialogs/FakeDialogHost.h"
#include "tests/dialogs/ModalRunner.h"

#include <QComboBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>
#include <ostream>

namespace brightowl::test {
namespace {

// Stands in for the capture device's driver list; connections are recorded in the host's calls.
class FakeDriverList : public DriverList
{
public:
    FakeDriverList(std::map<int32_t, std::string> drivers, std::vector<std::string>& calls)
        : drivers_(std::move(drivers)), calls_(calls)
    {
    }
    std::optional<std::string> DriverName(int32_t index) override
    {
        asked.push_back(index);
        const auto found = drivers_.find(index);
        if (found == drivers_.end())
            return std::nullopt;
        return found->second;
    }
    void ConnectDriver(uint32_t index) override { calls_.push_back("connect " + std::to_string(index)); }

    std::vector<int32_t> asked;

private:
    std::map<int32_t, std::string> drivers_;
    std::vector<std::string>& calls_;
};

QStringList Entries(QDialog& dialog)
{
    QStringList entries;
    auto* list = dialog.findChild<QComboBox*>("1000");
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

struct ChoiceCase
{
    std::string name;
    std::map<int32_t, std::string> drivers;
    QStringList shown;
    int choose; // list position
    uint32_t storedIndex;
};

void PrintTo(const ChoiceCase& c, std::ostream* out)
{
    *out << c.name;
}

class DriverChoiceTest : public testing::TestWithParam<ChoiceCase>
{
protected:
    FakeDialogHost host;
};

TEST_P(DriverChoiceTest, ListsTheDriversAndStoresAndConnectsTheChoice)
{
    const ChoiceCase& c = GetParam();
    host.settings.driverIndex = 7;
    FakeDriverList drivers(c.drivers, host.calls);
    DriverSelectDialog dialog(host, drivers, nullptr);
    EXPECT_EQ(drivers.asked, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const int result = ExecWithSteps(dialog, [&c](QDialog& open) {
        EXPECT_EQ(Entries(open), c.shown);
        auto* list = open.findChild<QComboBox*>("1000");
        EXPECT_EQ(list->currentIndex(), 0);
        list->setCurrentIndex(c.choose);
        open.findChild<QPushButton*>("1")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(host.settings.driverIndex, c.storedIndex);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"connect " + std::to_string(c.storedIndex), "fit", "save"}));
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverChoiceTest,
                         testing::Values(ChoiceCase{"ThreeDriversChooseThird",
                                                    {{0, "Camera A"}, {1, "Camera B"}, {2, "Test pattern"}},
                                                    {"Camera A", "Camera B", "Test pattern"},
                                                    2,
                                                    2},
                                         ChoiceCase{"DriversAtZeroAndTwoChooseSecond",
                                                    {{0, "Camera A"}, {2, "Test pattern"}},
                                                    {"Camera A", "Test pattern"},
                                                    1,
                                                    2},
                                         ChoiceCase{"OnlyTheLastIndex", {{9, "Camera J"}}, {"Camera J"}, 0, 9}),
                         [](const testing::TestParamInfo<ChoiceCase>& param) { return param.param.name; });

TEST(DriverSelectDialogTest, CancelAfterChangingTheSelectionChangesNothing)
{
    FakeDialogHost host;
    host.settings.driverIndex = 1;
    FakeDriverList drivers({{0, "Camera A"}, {1, "Camera B"}, {2, "Test pattern"}}, host.calls);
    DriverSelectDialog dialog(host, drivers, nullptr);
    const int result = ExecWithSteps(dialog, [](QDialog& open) {
        open.findChild<QComboBox*>("1000")->setCurrentIndex(2);
        open.findChild<QPushButton*>("2")->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(host.settings.driverIndex, 1u);
    EXPECT_TRUE(host.calls.empty());
}

TEST(DriverSelectDialogTest, AnEmptyListStoresAndConnectsMinusOne)
{
    FakeDialogHost host;
    FakeDriverList drivers({}, host.calls);
    DriverSelectDialog dialog(host, drivers, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.findChild<QComboBox*>("1000")->currentIndex(), -1);
    dialog.findChild<QPushButton*>("1")->click();
    EXPECT_EQ(host.settings.driverIndex, 0xFFFFFFFFu);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"connect 4294967295", "fit", "save"}));
}

TEST(DriverSelectDialogTest, NamesAreCutTo79Characters)
{
    FakeDialogHost host;
    FakeDriverList drivers({{0, std::string(100, 'n')}}, host.calls);
    DriverSelectDialog dialog(host, drivers, nullptr);
    EXPECT_EQ(Entries(dialog).value(0).size(), 79);
}

TEST(DriverSelectDialogTest, OpensAtTwentyDialogUnitsFromTheMainWindowsClientArea)
{
    FakeDialogHost host;
    FakeDriverList drivers({{0, "Camera A"}}, host.calls);
    QMainWindow mainWindow;
    mainWindow.menuBar()->addMenu("&File");
    mainWindow.setGeometry(200, 150, 400, 300);
    mainWindow.show();
    DriverSelectDialog dialog(host, drivers, &mainWindow);
    dialog.show();
    const QPoint offset = DialogBuilder::ToPixels(QPoint(20, 20), DialogBuilder::BaseUnits(dialog.font()));
    const QPoint clientOrigin = mainWindow.mapToGlobal(QPoint(0, mainWindow.menuBar()->height()));
    EXPECT_EQ(dialog.pos(), clientOrigin + offset);
    dialog.reject();
}

// Stands in for the platform's capture windows: knows driver names, makes no window.
class NamesOnlyWindowFactory : public CaptureWindowFactory
{
public:
    std::unique_ptr<CaptureWindow> Create(const std::string&, void*, int32_t, int32_t, int32_t, int32_t) override
    {
        return nullptr;
    }
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override
    {
        if (index == 1) {
            name = std::string(100, 'v');
            version = "1.0";
            return true;
        }
        if (index == 4) {
            name = "Test pattern";
            version = "1.2";
            return true;
        }
        return false;
    }
};

TEST(DriverSelectDialogTest, TheProgramsDialogListsAndConnectsTheCaptureDevicesDrivers)
{
    NamesOnlyWindowFactory factory;
    CaptureDevice device(factory);
    FakeDialogHost host;
    host.device = &device;
    DriverSelectDialog dialog(host, nullptr);
    EXPECT_EQ(Entries(dialog), (QStringList{QString(79, 'v'), "Test pattern"}));
    dialog.show();
    dialog.findChild<QComboBox*>("1000")->setCurrentIndex(1);
    dialog.findChild<QPushButton*>("1")->click();
    EXPECT_EQ(host.settings.driverIndex, 4u);
    // Without a capture window the connection fails; the device keeps the error and the dialog goes on.
    EXPECT_EQ(device.LastError().code, CaptureError::ConnectFailed);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"fit", "save"}));
}

} // namespace
} // namespace brightowl::test

#include "dialogs/SetupDialog.h"

#include "tests/dialogs/FakeDialogHost.h"
#include "tests/dialogs/ModalRunner.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>

namespace brightowl::test {
namespace {

QLineEdit* Edit(QDialog& dialog, const char* id)
{
    auto* edit = dialog.findChild<QLineEdit*>(id);
    EXPECT_NE(edit, nullptr) << id;
    return edit;
}

QPushButton* Button(QDialog& dialog, const char* id)
{
    auto* button = dialog.findChild<QPushButton*>(id);
    EXPECT_NE(button, nullptr) << id;
    return button;
}

const std::string kQualityText = "Jpeg quality must be a value between 1 and 100";
const std::string kClientsText = "Maximum number of connections must be between 1 and 50!";

class SetupDialogTest : public testing::Test
{
protected:
    FakeDialogHost host;
};

TEST_F(SetupDialogTest, OpensWithTheSettingsInItsControls)
{
    host.settings = {1, 3, 60, 12, 8080, "/cam"};
    SetupDialog dialog(host, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Server Setup");
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("1005")->isChecked());
    EXPECT_EQ(Edit(dialog, "1007")->text(), "60");
    EXPECT_EQ(Edit(dialog, "1008")->text(), "12");
    EXPECT_EQ(Edit(dialog, "1012")->text(), "8080");
    EXPECT_EQ(Edit(dialog, "1014")->text(), "/cam");
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(SetupDialogTest, OkWithGoodValuesStoresAppliesSavesAndCloses)
{
    SetupDialog dialog(host, nullptr);
    const int result = ExecWithSteps(dialog, [](QDialog& open) {
        Edit(open, "1007")->setText("90");
        Edit(open, "1008")->setText("7");
        Edit(open, "1012")->setText("8081");
        Edit(open, "1014")->setText("/stream");
        open.findChild<QCheckBox*>("1005")->setChecked(true);
        Button(open, "1")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(host.settings.jpegQuality, 90u);
    EXPECT_EQ(host.settings.maxClients, 7u);
    EXPECT_EQ(host.settings.port, 8081u);
    EXPECT_EQ(host.settings.camUrl, "/stream");
    EXPECT_EQ(host.settings.logFlag, 1);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"apply", "save"}));
    EXPECT_TRUE(host.prompt.Boxes().empty());
}

TEST_F(SetupDialogTest, OpensWithTheFocusOnOk)
{
    SetupDialog dialog(host, nullptr);
    ExecWithSteps(dialog, [](QDialog& open) {
        EXPECT_EQ(open.focusWidget(), Button(open, "1"));
        open.reject();
    });
}

TEST_F(SetupDialogTest, CancelChangesNothing)
{
    host.settings = {0, 2, 50, 9, 8000, "/x"};
    SetupDialog dialog(host, nullptr);
    const int result = ExecWithSteps(dialog, [](QDialog& open) {
        Edit(open, "1007")->setText("0");
        Edit(open, "1012")->setText("123");
        Button(open, "2")->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(host.settings.jpegQuality, 50u);
    EXPECT_EQ(host.settings.port, 8000u);
    EXPECT_EQ(host.settings.camUrl, "/x");
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.prompt.Boxes().empty());
}

// One edit set to a text, the others holding good values.
struct CheckCase
{
    std::string name;
    const char* control;
    std::string text;
    bool passes;
    uint32_t storedNumber; // for the number edits
    std::string storedUrl; // for the path edit
};

void PrintTo(const CheckCase& c, std::ostream* out)
{
    *out << c.name << ": " << c.control << " = \"" << c.text << "\"";
}

class SetupCheckTest : public testing::TestWithParam<CheckCase>
{
protected:
    FakeDialogHost host;
};

TEST_P(SetupCheckTest, StoresTheValueOrItsReplacementAndReportsFailures)
{
    const CheckCase& c = GetParam();
    SetupDialog dialog(host, nullptr);
    dialog.show();
    Edit(dialog, c.control)->setText(QString::fromStdString(c.text));
    Button(dialog, "1")->click();

    const std::string control = c.control;
    if (control == "1014")
        EXPECT_EQ(host.settings.camUrl, c.storedUrl);
    else if (control == "1007")
        EXPECT_EQ(host.settings.jpegQuality, c.storedNumber);
    else if (control == "1008")
        EXPECT_EQ(host.settings.maxClients, c.storedNumber);
    else
        EXPECT_EQ(host.settings.port, c.storedNumber);

    const auto boxes = host.prompt.Boxes();
    if (c.passes) {
        EXPECT_TRUE(boxes.empty());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(host.calls, (std::vector<std::string>{"apply", "save"}));
        return;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Invalid Parameter");
    EXPECT_EQ(boxes[0].icon, PromptIcon::None);
    EXPECT_FALSE(boxes[0].question);
    // The path and port texts are ours to word; they must state the allowed range.
    const std::map<std::string, std::string> expected = {
        {"1007", kQualityText}, {"1008", kClientsText}, {"1014", "1 and 64"}, {"1012", "1 and 65000"}};
    EXPECT_NE(boxes[0].text.find(expected.at(control)), std::string::npos) << boxes[0].text;
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Edit(dialog, c.control)->text().toStdString(), c.text);
    EXPECT_TRUE(host.calls.empty());
}

const std::string k64(64, 'a');
const std::string k65(65, 'a');

INSTANTIATE_TEST_SUITE_P(
    Bounds, SetupCheckTest,
    testing::Values(
        CheckCase{"QualityLowest", "1007", "1", true, 1, ""}, CheckCase{"QualityHighest", "1007", "100", true, 100, ""},
        CheckCase{"QualityZero", "1007", "0", false, 35, ""}, CheckCase{"QualityAbove", "1007", "101", false, 35, ""},
        CheckCase{"QualityLettersReadAsZero", "1007", "abc", false, 35, ""},
        CheckCase{"QualityBlanksAndSign", "1007", "  +42x", true, 42, ""},
        CheckCase{"ClientsLowest", "1008", "1", true, 1, ""}, CheckCase{"ClientsHighest", "1008", "50", true, 50, ""},
        CheckCase{"ClientsZero", "1008", "0", false, 5, ""}, CheckCase{"ClientsAbove", "1008", "51", false, 5, ""},
        CheckCase{"ClientsMinusFive", "1008", "-5", false, 5, ""}, CheckCase{"PortLowest", "1012", "1", true, 1, ""},
        CheckCase{"PortBelowServerRange", "1012", "1024", true, 1024, ""},
        CheckCase{"PortHighest", "1012", "65000", true, 65000, ""}, CheckCase{"PortZero", "1012", "0", false, 80, ""},
        CheckCase{"PortAbove", "1012", "65001", false, 80, ""},
        CheckCase{"PortBeyond32Bits", "1012", "99999999999", false, 80, ""},
        CheckCase{"PortWithLettersAfter", "1012", "80abc", true, 80, ""},
        CheckCase{"Url64Characters", "1014", "/" + k64.substr(1), true, 0, "/" + k64.substr(1)},
        CheckCase{"Url65Characters", "1014", k65, false, 0, "/video"},
        CheckCase{"UrlEmpty", "1014", "", false, 0, "/video"},
        CheckCase{"UrlWithoutSlash", "1014", "video", true, 0, "video"}),
    [](const testing::TestParamInfo<CheckCase>& param) { return param.param.name; });

TEST_F(SetupDialogTest, ThreeFailuresGiveThreeBoxesInOrderAndKeepTheDialogOpen)
{
    SetupDialog dialog(host, nullptr);
    ExecWithSteps(dialog, [this](QDialog& open) {
        Edit(open, "1007")->setText("0");
        Edit(open, "1008")->setText("99");
        Edit(open, "1014")->setText("");
        Edit(open, "1012")->setText("8080");
        Button(open, "1")->click();

        EXPECT_TRUE(open.isVisible());
        EXPECT_EQ(Edit(open, "1007")->text(), "0");
        EXPECT_EQ(Edit(open, "1008")->text(), "99");
        EXPECT_EQ(Edit(open, "1014")->text(), "");
        const auto texts = host.prompt.Texts();
        ASSERT_EQ(texts.size(), 3u);
        EXPECT_EQ(texts[0], kQualityText);
        EXPECT_EQ(texts[1], kClientsText);
        EXPECT_NE(texts[2].find("64"), std::string::npos);
        Button(open, "2")->click();
    });
    // The failed attempt's values stay: the replacements and the port that passed.
    EXPECT_EQ(host.settings.jpegQuality, 35u);
    EXPECT_EQ(host.settings.maxClients, 5u);
    EXPECT_EQ(host.settings.camUrl, "/video");
    EXPECT_EQ(host.settings.port, 8080u);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(SetupDialogTest, FailedAttemptThenCancelLeavesItsValuesForTheNextOpening)
{
    {
        SetupDialog dialog(host, nullptr);
        dialog.show();
        Edit(dialog, "1007")->setText("101");
        Edit(dialog, "1012")->setText("9000");
        Button(dialog, "1")->click();
        ASSERT_TRUE(dialog.isVisible());
        Button(dialog, "1")->click(); // the same texts fail the same way
        EXPECT_EQ(host.prompt.Texts(), (std::vector<std::string>{kQualityText, kQualityText}));
        Button(dialog, "2")->click();
    }
    EXPECT_TRUE(host.calls.empty());
    SetupDialog reopened(host, nullptr);
    EXPECT_EQ(Edit(reopened, "1007")->text(), "35");
    EXPECT_EQ(Edit(reopened, "1012")->text(), "9000");
}

} // namespace
} // namespace brightowl::test

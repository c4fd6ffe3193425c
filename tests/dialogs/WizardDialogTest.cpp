#include "dialogs/WizardDialog.h"

#include "dialogs/AddressSource.h"
#include "dialogs/HyperlinkLabel.h"
#include "dialogs/InterfaceAddresses.h"
#include "tests/dialogs/FakeDialogHost.h"
#include "tests/dialogs/ModalRunner.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>

namespace brightowl::test {
namespace {

const std::string kPrivateText =
    "Your IP address is a private address.\nYou are most likely behind a firewall or disconnected from the "
    "internet.\nYou must determine your external IP address manually.  See the readme for more information.";
const std::string kNoAddressText =
    "Error determining your IP address, you will have to find it manually.\nSee the readme for more information.";
const std::string kOverwriteText = "Are you sure you want to overwrite www/index.html?";
const std::string kCannotOpenText =
    "Could not open index.html, make sure \"www\" folder exists and file is not write protected.";

// Stands in for the interface list.
class FakeAddresses : public AddressSource
{
public:
    explicit FakeAddresses(std::optional<std::vector<std::string>> addresses) : addresses_(std::move(addresses)) {}
    std::optional<std::vector<std::string>> Ipv4Addresses() override { return addresses_; }

private:
    std::optional<std::vector<std::string>> addresses_;
};

QLineEdit* Edit(QDialog& dialog, const char* id)
{
    return dialog.findChild<QLineEdit*>(id);
}

std::optional<std::string> ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// Runs each test in a fresh temporary current directory.
class WizardDialogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    void MakeWww() { ASSERT_TRUE(QDir(folder.path()).mkdir("www")); }

    QTemporaryDir folder;
    QString previous;
    FakeDialogHost host;
};

TEST_F(WizardDialogTest, ShowsTheFirstAddressAndThePort)
{
    host.settings.port = 8080;
    FakeAddresses addresses(std::vector<std::string>{"203.0.113.7", "10.0.0.2", "127.0.0.1"});
    WizardDialog dialog(host, addresses, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Setup Wizard");
    EXPECT_EQ(Edit(dialog, "1017")->text(), "203.0.113.7");
    EXPECT_EQ(Edit(dialog, "1018")->text(), "8080");
    EXPECT_TRUE(host.prompt.Boxes().empty());
    auto* link = dialog.findChild<HyperlinkLabel*>("1019");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->IsAttached());
    EXPECT_EQ(link->Url(), "http://www.quillmoor.example/brightowl/faq.html");
}

TEST_F(WizardDialogTest, WarnsOnceAboutAPrivateAddressAndStillShowsIt)
{
    FakeAddresses addresses(std::vector<std::string>{"192.168.1.20"});
    WizardDialog dialog(host, addresses, nullptr);
    EXPECT_EQ(Edit(dialog, "1017")->text(), "192.168.1.20");
    EXPECT_EQ(Edit(dialog, "1018")->text(), "80");
    const auto boxes = host.prompt.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "");
    EXPECT_EQ(boxes[0].text, kPrivateText);
    EXPECT_FALSE(boxes[0].question);
}

TEST_F(WizardDialogTest, NoAddressesLeaveBothEditsEmpty)
{
    for (const auto& list : {std::optional<std::vector<std::string>>{}, std::optional(std::vector<std::string>{})}) {
        host.prompt.Clear();
        FakeAddresses addresses(list);
        WizardDialog dialog(host, addresses, nullptr);
        EXPECT_EQ(Edit(dialog, "1017")->text(), "");
        EXPECT_EQ(Edit(dialog, "1018")->text(), "");
        EXPECT_EQ(host.prompt.Texts(), (std::vector<std::string>{kNoAddressText}));
    }
}

struct PageCase
{
    std::string name;
    std::string portText;
    uint32_t storedPort;
    std::string page;
};

void PrintTo(const PageCase& c, std::ostream* out)
{
    *out << c.name << ": port \"" << c.portText << "\"";
}

class IndexPageTest : public WizardDialogTest, public testing::WithParamInterface<PageCase>
{
};

TEST_P(IndexPageTest, OkWritesThePageByteForByteThenAppliesAndSaves)
{
    const PageCase& c = GetParam();
    MakeWww();
    {
        std::ofstream old("www/index.html", std::ios::binary);
        old << std::string(2000, 'x'); // a longer page is emptied first
    }
    host.settings.camUrl = "/video";
    FakeAddresses addresses(std::vector<std::string>{"203.0.113.7"});
    WizardDialog dialog(host, addresses, nullptr);
    const int result = ExecWithSteps(dialog, [&c](QDialog& open) {
        Edit(open, "1018")->setText(QString::fromStdString(c.portText));
        open.findChild<QPushButton*>("1")->click();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(host.settings.port, c.storedPort);
    EXPECT_EQ(ReadFile("www/index.html"), c.page);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"apply", "save"}));
    const auto boxes = host.prompt.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].question);
    EXPECT_EQ(boxes[0].caption, "Overwrite?");
    EXPECT_EQ(boxes[0].text, kOverwriteText);
}

const std::string kHead =
    "<HTML>\r\n<HEAD>\r\n<TITLE>My Webcam</TITLE>\r\n</HEAD>\r\n<BODY>\r\n\r\n<P><H1>My Webcam</H1></P>\r\n\r\n"
    "<APPLET CODE=\"BrightowlApplet2.class\" CODEBASE=\"";
const std::string kTail = "<PARAM NAME=\"URI\" VALUE=\"/video\">\r\n</APPLET>\r\n\n</BODY>\r\n</HTML>\r\n";

INSTANTIATE_TEST_SUITE_P(Ports, IndexPageTest,
                         testing::Values(PageCase{"Port80", "80", 80,
                                                  kHead +
                                                      "http://203.0.113.7/\" WIDTH=\"320\" HEIGHT=\"240\">\r\n"
                                                      "<PARAM NAME=\"SERVER\" VALUE=\"203.0.113.7\">\r\n"
                                                      "<PARAM NAME=\"PORT\" VALUE=\"80\">\r\n" +
                                                      kTail},
                                         PageCase{"Port81", "81", 81,
                                                  kHead +
                                                      "http://203.0.113.7:81/\" WIDTH=\"320\" HEIGHT=\"240\">\r\n"
                                                      "<PARAM NAME=\"SERVER\" VALUE=\"203.0.113.7\">\r\n"
                                                      "<PARAM NAME=\"PORT\" VALUE=\"81\">\r\n" +
                                                      kTail},
                                         PageCase{"LettersGiveZero", "abc", 0,
                                                  kHead +
                                                      "http://203.0.113.7:0/\" WIDTH=\"320\" HEIGHT=\"240\">\r\n"
                                                      "<PARAM NAME=\"SERVER\" VALUE=\"203.0.113.7\">\r\n"
                                                      "<PARAM NAME=\"PORT\" VALUE=\"0\">\r\n" +
                                                      kTail}),
                         [](const testing::TestParamInfo<PageCase>& param) { return param.param.name; });

TEST_F(WizardDialogTest, CancelInTheOverwriteQuestionKeepsTheDialogOpenWithThePortStored)
{
    MakeWww();
    host.prompt.AnswerQuestionsWith(false);
    FakeAddresses addresses(std::vector<std::string>{"203.0.113.7"});
    WizardDialog dialog(host, addresses, nullptr);
    ExecWithSteps(dialog, [this](QDialog& open) {
        Edit(open, "1018")->setText("8O");
        open.findChild<QPushButton*>("1")->click();
        EXPECT_TRUE(open.isVisible());
        EXPECT_EQ(host.settings.port, 8u);
        open.findChild<QPushButton*>("2")->click();
    });
    EXPECT_EQ(host.settings.port, 8u);
    EXPECT_FALSE(ReadFile("www/index.html"));
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(WizardDialogTest, NoWwwFolderGivesTheCouldNotOpenMessageAndCloses)
{
    FakeAddresses addresses(std::vector<std::string>{"203.0.113.7"});
    WizardDialog dialog(host, addresses, nullptr);
    ExecWithSteps(dialog, [](QDialog& open) {
        Edit(open, "1018")->setText("8081");
        open.findChild<QPushButton*>("1")->click();
    });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(host.settings.port, 8081u);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(QDir("www").exists());
    const auto boxes = host.prompt.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, kCannotOpenText);
}

TEST(InterfaceAddressesTest, ListsIpv4AddressesWithLoopbackLast)
{
    InterfaceAddresses interfaces;
    const std::optional<std::vector<std::string>> addresses = interfaces.Ipv4Addresses();
    ASSERT_TRUE(addresses);
    bool loopbackSeen = false;
    for (const std::string& address : *addresses) {
        in_addr parsed{};
        EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
        if (address.starts_with("127."))
            loopbackSeen = true;
        else
            EXPECT_FALSE(loopbackSeen) << address << " after a loopback address";
    }
}

struct AddressCase
{
    std::string address;
    bool isPrivate;
};

void PrintTo(const AddressCase& c, std::ostream* out)
{
    *out << '"' << c.address << '"';
}

class PrivateAddressTest : public testing::TestWithParam<AddressCase>
{
};

TEST_P(PrivateAddressTest, TellsThePrivateRanges)
{
    EXPECT_EQ(WizardDialog::IsPrivateAddress(GetParam().address), GetParam().isPrivate);
}

INSTANTIATE_TEST_SUITE_P(Ranges, PrivateAddressTest,
                         testing::Values(AddressCase{"10.0.0.0", true}, AddressCase{"10.255.255.255", true},
                                         AddressCase{"9.255.255.255", false}, AddressCase{"11.0.0.0", false},
                                         AddressCase{"172.16.0.0", true}, AddressCase{"172.31.255.255", true},
                                         AddressCase{"172.15.255.255", false}, AddressCase{"172.32.0.0", false},
                                         AddressCase{"192.168.0.0", true}, AddressCase{"192.168.255.255", true},
                                         AddressCase{"192.167.255.255", false}, AddressCase{"192.169.0.0", false},
                                         AddressCase{"169.254.0.0", true}, AddressCase{"169.254.255.255", true},
                                         AddressCase{"169.253.255.255", false}, AddressCase{"169.255.0.0", false},
                                         AddressCase{"10", true}, AddressCase{"10..1.2", true},
                                         AddressCase{"11..1.2", false}, AddressCase{"9.256.0.0", true},
                                         AddressCase{"127.0.0.1", false}, AddressCase{"192.168.1.20", true},
                                         AddressCase{"10.0.0.1.99", true}, AddressCase{"", false},
                                         AddressCase{"...", false}),
                         [](const testing::TestParamInfo<AddressCase>& param) {
                             std::string name;
                             for (char ch : param.param.address)
                                 name += ch == '.' ? '_' : ch;
                             return "A" + name + (param.param.isPrivate ? "_private" : "_public");
                         });

} // namespace
} // namespace brightowl::test

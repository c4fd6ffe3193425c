#include "dialogs/HyperlinkLabel.h"

#include "tests/dialogs/FakeLinkShell.h"
#include "tests/support/RecordingPrompt.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <ostream>

namespace brightowl::test {
namespace {

constexpr char kUrl[] = "http://www.quillmoor.example/brightowl/";

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button = Qt::NoButton)
{
    const QPointF local(2, 2);
    QMouseEvent event(type, local, widget.mapToGlobal(local), button,
                      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons(Qt::NoButton),
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void Click(QWidget& widget)
{
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton);
}

class HyperlinkLabelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        parent.setGeometry(100, 100, 400, 200);
        label = new HyperlinkLabel(&parent);
        label->setGeometry(10, 10, 300, 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->SetShell(&shell);
        label->SetPrompt(&prompt);
    }

    void Attach(const QString& text)
    {
        label->setText(text);
        label->Attach();
        parent.show();
    }

    QWidget parent;
    HyperlinkLabel* label = nullptr;
    FakeLinkShell shell;
    RecordingPrompt prompt;
};

TEST_F(HyperlinkLabelTest, TakesItsUrlFromItsText)
{
    Attach(kUrl);
    EXPECT_TRUE(label->IsAttached());
    EXPECT_EQ(label->Url(), kUrl);
    EXPECT_EQ(label->toolTip(), kUrl);
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    Click(*label);
    EXPECT_EQ(shell.opened, (std::vector<std::string>{kUrl}));
}

TEST_F(HyperlinkLabelTest, TakesItsTextFromAUrlSetBeforeAttachment)
{
    label->SetUrl("http://example.org/");
    Attach("");
    EXPECT_EQ(label->text(), "http://example.org/");
    EXPECT_EQ(label->toolTip(), "http://example.org/");
}

TEST_F(HyperlinkLabelTest, ColoursFollowHoverAndVisited)
{
    Attach(kUrl);
    EXPECT_EQ(label->TextColour(), HyperlinkLabel::kLinkColour);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), HyperlinkLabel::kLinkColour);
    EXPECT_FALSE(label->font().underline());

    SendMouse(*label, QEvent::MouseMove);
    EXPECT_TRUE(label->Hovering());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), HyperlinkLabel::kHoverColour);
    EXPECT_TRUE(label->font().underline());

    // A successful click shows the visited colour at once, though the pointer is still over it;
    // the next movement shows the hover colour again.
    Click(*label);
    EXPECT_TRUE(label->Visited());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), HyperlinkLabel::kVisitedColour);
    SendMouse(*label, QEvent::MouseMove);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), HyperlinkLabel::kHoverColour);
}

TEST_F(HyperlinkLabelTest, HoverEndsAfterTheTimerFindsThePointerOutside)
{
    Attach(kUrl);
    QCursor::setPos(parent.mapToGlobal(QPoint(350, 150)));
    SendMouse(*label, QEvent::MouseMove);
    ASSERT_TRUE(label->Hovering());

    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!label->Hovering() || elapsed.elapsed() > 2000)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    EXPECT_FALSE(label->Hovering());
    EXPECT_GE(elapsed.elapsed(), 50); // at the first tick, not at once
    EXPECT_FALSE(label->font().underline());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), HyperlinkLabel::kLinkColour);
}

TEST_F(HyperlinkLabelTest, UnderlineModes)
{
    Attach(kUrl);
    label->SetUnderlineMode(HyperlinkLabel::UnderlineMode::Always);
    EXPECT_TRUE(label->font().underline());
    label->SetUnderlineMode(HyperlinkLabel::UnderlineMode::Never);
    SendMouse(*label, QEvent::MouseMove);
    EXPECT_TRUE(label->Hovering());
    EXPECT_FALSE(label->font().underline());
}

TEST_F(HyperlinkLabelTest, AFailedOpenBeepsReportsAndStaysUnvisited)
{
    shell.desktopResult = 26;
    Attach(kUrl);
    label->SetVisited(true);
    Click(*label);
    EXPECT_FALSE(label->Visited());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), HyperlinkLabel::kLinkColour);
    const auto boxes = prompt.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, ""); // the application's name
    EXPECT_EQ(boxes[0].icon, PromptIcon::Warning);
    EXPECT_EQ(boxes[0].text, "Unable to open hyperlink:\n\nA sharing violation occurred. ");
}

TEST_F(HyperlinkLabelTest, AResultOf33IsSuccess)
{
    shell.desktopResult = 33;
    Attach(kUrl);
    Click(*label);
    EXPECT_TRUE(label->Visited());
    EXPECT_TRUE(prompt.Boxes().empty());
    EXPECT_EQ(shell.handlerQueries, 0);
}

TEST_F(HyperlinkLabelTest, FallsBackToTheHtmlHandler)
{
    shell.desktopResult = 31;
    shell.handler = "firefox-esr %u";
    shell.runResult = 42;
    Attach(kUrl);
    EXPECT_EQ(label->OpenUrl(kUrl), 42);
    EXPECT_EQ(shell.run, (std::vector<std::string>{std::string("firefox-esr  ") + kUrl}));

    shell.runResult = 2;
    EXPECT_EQ(label->OpenUrl(kUrl), 2);
    shell.handler.reset();
    EXPECT_EQ(label->OpenUrl(kUrl), 31); // no handler: the desktop's own result
    shell.handler = std::string(600, 'x');
    EXPECT_EQ(label->OpenUrl(kUrl), 8); // refused, not cut
    EXPECT_EQ(shell.run.size(), 2u);
}

struct FitCase
{
    std::string name;
    Qt::Alignment alignment;
    QRect before;
};

void PrintTo(const FitCase& c, std::ostream* out)
{
    *out << c.name;
}

class FitToTextTest : public HyperlinkLabelTest, public testing::WithParamInterface<FitCase>
{
};

TEST_P(FitToTextTest, SizesTheLabelToItsTextKeepingTheAlignedEdge)
{
    const FitCase& c = GetParam();
    label->setGeometry(c.before);
    label->setAlignment(c.alignment);
    Attach("Link");
    QFont underlined = label->font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    const int width = metrics.horizontalAdvance("Link");
    const int height = metrics.height();
    const QRect after = label->geometry();
    EXPECT_EQ(after.width(), width + (c.before.width() - width) % 2 * (c.alignment & Qt::AlignHCenter ? 1 : 0));
    if (c.alignment & Qt::AlignHCenter)
        EXPECT_EQ(after.left() + after.right(), c.before.left() + c.before.right());
    else if (c.alignment & Qt::AlignRight)
        EXPECT_EQ(after.right(), c.before.right());
    else
        EXPECT_EQ(after.left(), c.before.left());
    if (c.alignment & Qt::AlignVCenter) {
        EXPECT_LE(std::abs(after.height() - height), 1);
        EXPECT_LE(std::abs((after.top() + after.bottom()) - (c.before.top() + c.before.bottom())), 0);
    } else {
        EXPECT_EQ(after.top(), c.before.top());
        EXPECT_EQ(after.height(), height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Alignments, FitToTextTest,
    testing::Values(FitCase{"LeftShrinks", Qt::AlignLeft | Qt::AlignTop, QRect(10, 10, 300, 40)},
                    FitCase{"LeftGrows", Qt::AlignLeft | Qt::AlignTop, QRect(10, 10, 4, 4)},
                    FitCase{"CentredShrinks", Qt::AlignHCenter | Qt::AlignTop, QRect(10, 10, 300, 40)},
                    FitCase{"CentredGrows", Qt::AlignHCenter | Qt::AlignTop, QRect(150, 10, 4, 4)},
                    FitCase{"RightShrinks", Qt::AlignRight | Qt::AlignTop, QRect(10, 10, 300, 40)},
                    FitCase{"VerticallyCentred", Qt::AlignLeft | Qt::AlignVCenter, QRect(10, 10, 300, 60)}),
    [](const testing::TestParamInfo<FitCase>& param) { return param.param.name; });

struct ErrorCase
{
    std::string name;
    int32_t code;
    std::string text;
};

void PrintTo(const ErrorCase& c, std::ostream* out)
{
    *out << c.name << " (" << c.code << ")";
}

class OpenErrorTextTest : public testing::TestWithParam<ErrorCase>
{
};

TEST_P(OpenErrorTextTest, NamesTheCode)
{
    EXPECT_EQ(HyperlinkLabel::OpenErrorText(GetParam().code), "Unable to open hyperlink:\n\n" + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OpenErrorTextTest,
    testing::Values(ErrorCase{"OutOfResources", 0, "The operating system is out\nof memory or resources."},
                    ErrorCase{"FileNotFound", 2, "The specified file was not found."},
                    ErrorCase{"AccessDenied", 5, "The operating system denied\naccess to the specified file."},
                    ErrorCase{"SharingViolation", 26, "A sharing violation occurred. "},
                    ErrorCase{"DdeBusy", 30,
                              "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
                              "being processed."},
                    ErrorCase{"NoAssociation", 31,
                              "There is no application associated\nwith the given filename extension."},
                    ErrorCase{"LibraryNotFound", 32, "The specified dynamic-link library was not found."},
                    ErrorCase{"One", 1, "Unknown Error (1) occurred."},
                    ErrorCase{"Four", 4, "Unknown Error (4) occurred."},
                    ErrorCase{"TwentyFive", 25, "Unknown Error (25) occurred."},
                    ErrorCase{"Negative", -7, "Unknown Error (-7) occurred."}),
    [](const testing::TestParamInfo<ErrorCase>& param) { return param.param.name; });

struct CommandCase
{
    std::string name;
    std::string command;
    std::string url;
    std::optional<std::string> line;
};

void PrintTo(const CommandCase& c, std::ostream* out)
{
    *out << c.name << ": " << c.command.substr(0, 60) << (c.command.size() > 60 ? "..." : "");
}

class FallbackCommandLineTest : public testing::TestWithParam<CommandCase>
{
};

TEST_P(FallbackCommandLineTest, CutsAtThePlaceholderAndAppendsTheAddress)
{
    EXPECT_EQ(HyperlinkLabel::FallbackCommandLine(GetParam().command, GetParam().url), GetParam().line);
}

const std::string kAddress = "http://a.example/";

INSTANTIATE_TEST_SUITE_P(
    Commands, FallbackCommandLineTest,
    testing::Values(CommandCase{"OptionsThenQuotedPlaceholder", "\"/opt/web browser/run\" -nohome \"%1\"", kAddress,
                                "\"/opt/web browser/run\" -nohome  " + kAddress},
                    CommandCase{"BarePlaceholder", "browser %1 -new", kAddress, "browser  " + kAddress},
                    CommandCase{"NoPlaceholder", "browser -new", kAddress, "browser -new " + kAddress},
                    CommandCase{"DesktopUrl", "firefox-esr %u", kAddress, "firefox-esr  " + kAddress},
                    CommandCase{"DesktopUrls", "/usr/bin/chromium %U", kAddress, "/usr/bin/chromium  " + kAddress},
                    CommandCase{"DesktopFiles", "viewer --open %F", kAddress, "viewer --open  " + kAddress},
                    CommandCase{"QuotedDesktopFile", "viewer \"%f\"", kAddress, "viewer  " + kAddress},
                    CommandCase{"QuotedBeforeBare", "browser %u \"%1\"", kAddress, "browser %u  " + kAddress},
                    CommandCase{"Exactly520", std::string(520 - 1 - kAddress.size(), 'b'), kAddress,
                                std::string(520 - 1 - kAddress.size(), 'b') + " " + kAddress},
                    CommandCase{"Over520Refused", std::string(520 - kAddress.size(), 'b'), kAddress, std::nullopt}),
    [](const testing::TestParamInfo<CommandCase>& param) { return param.param.name; });

} // namespace
} // namespace brightowl::test

#include "dialogs/HyperlinkLabel.h"

#include "dialogs/DesktopLinkShell.h"
#include "server/Prompt.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimerEvent>

#include <array>
#include <cstdio>

namespace brightowl {
namespace {

// A command line the fallback refuses to run is reported as lack of room for it.
constexpr int32_t kCommandTooLong = 8;

struct OpenError
{
    int32_t code;
    const char* text;
};

constexpr std::array kOpenErrors = {
    OpenError{0, "The operating system is out\nof memory or resources."},
    OpenError{2, "The specified file was not found."},
    OpenError{3, "The specified path was not found."},
    OpenError{5, "The operating system denied\naccess to the specified file."},
    OpenError{8, "There was not enough memory to complete the operation."},
    OpenError{11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    OpenError{26, "A sharing violation occurred. "},
    OpenError{27, "The filename association is\nincomplete or invalid."},
    OpenError{28, "The DDE transaction could not\nbe completed because the request timed out."},
    OpenError{29, "The DDE transaction failed."},
    OpenError{30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
    OpenError{31, "There is no application associated\nwith the given filename extension."},
    OpenError{32, "The specified dynamic-link library was not found."},
};

// Where a registered command takes its address: the registered "%1" and the desktop entry
// field codes for URLs and files.
constexpr std::array<std::string_view, 5> kPlaceholders = {"%1", "%u", "%U", "%f", "%F"};

std::size_t FindFirstPlaceholder(const std::string& command, bool quoted)
{
    std::size_t first = std::string::npos;
    for (std::string_view placeholder : kPlaceholders) {
        std::string needle;
        if (quoted)
            needle.push_back('"');
        needle.append(placeholder);
        if (quoted)
            needle.push_back('"');
        first = std::min(first, command.find(needle));
    }
    return first;
}

} // namespace

HyperlinkLabel::HyperlinkLabel(QWidget* parent) : QLabel(parent) {}

HyperlinkLabel::~HyperlinkLabel()
{
    StopHoverTimer();
}

void HyperlinkLabel::Attach()
{
    if (attached_)
        return;
    attached_ = true;
    if (url_.empty())
        url_ = text().toStdString();
    if (text().isEmpty())
        setText(QString::fromStdString(url_));
    normalFont_ = font();
    underlinedFont_ = font();
    underlinedFont_.setUnderline(true);
    setWordWrap(false);
    setMouseTracking(true);
    if (fitToText_)
        FitToText();
    LoadHandCursor();
    SetUnderlineMode(UnderlineMode::OnHover);
    setToolTip(QString::fromStdString(url_));
    UpdateColour();
}

bool HyperlinkLabel::IsAttached() const
{
    return attached_;
}

void HyperlinkLabel::SetUrl(const std::string& url)
{
    url_ = url;
    if (attached_)
        setToolTip(QString::fromStdString(url_));
}

const std::string& HyperlinkLabel::Url() const
{
    return url_;
}

void HyperlinkLabel::SetVisited(bool visited)
{
    visited_ = visited;
    if (attached_)
        UpdateColour();
}

bool HyperlinkLabel::Visited() const
{
    return visited_;
}

bool HyperlinkLabel::Hovering() const
{
    return hovering_;
}

void HyperlinkLabel::SetUnderlineMode(UnderlineMode mode)
{
    if (mode == underlineMode_)
        return;
    if (attached_) {
        setFont(mode == UnderlineMode::Always ? underlinedFont_ : normalFont_);
        update();
    }
    underlineMode_ = mode;
}

HyperlinkLabel::UnderlineMode HyperlinkLabel::Underline() const
{
    return underlineMode_;
}

void HyperlinkLabel::SetFitToText(bool fit)
{
    fitToText_ = fit;
}

void HyperlinkLabel::FitToText()
{
    if (!attached_ || !fitToText_)
        return;
    const QRect window = geometry();
    const QSize client = contentsRect().size();
    const QFontMetrics metrics(underlinedFont_);
    const int neededWidth = metrics.horizontalAdvance(text()) + (window.width() - client.width());
    const int neededHeight = metrics.height() + (window.height() - client.height());

    // Edges as exclusive coordinates; the divisions truncate toward zero, so a label narrower than its
    // text grows on both sides.
    int left = window.x();
    int top = window.y();
    int right = left + window.width();
    int bottom = top + window.height();
    if (alignment() & Qt::AlignVCenter) {
        const int shift = (window.height() - neededHeight) / 2;
        top += shift;
        bottom -= shift;
    } else {
        bottom = top + neededHeight;
    }
    if (alignment() & Qt::AlignHCenter) {
        const int shift = (window.width() - neededWidth) / 2;
        left += shift;
        right -= shift;
    } else if (alignment() & Qt::AlignRight) {
        left = right - neededWidth;
    } else {
        right = left + neededWidth;
    }
    setGeometry(left, top, right - left, bottom - top);
}

void HyperlinkLabel::LoadHandCursor()
{
    if (hasCursor_)
        return;
    setCursor(Qt::PointingHandCursor);
    hasCursor_ = true;
}

QColor HyperlinkLabel::TextColour() const
{
    if (hovering_)
        return kHoverColour;
    return visited_ ? kVisitedColour : kLinkColour;
}

void HyperlinkLabel::SetShell(LinkShell* shell)
{
    shell_ = shell;
}

void HyperlinkLabel::SetPrompt(Prompt* prompt)
{
    prompt_ = prompt;
}

int32_t HyperlinkLabel::OpenUrl(const std::string& url)
{
    if (shell_ == nullptr) {
        ownShell_ = std::make_unique<DesktopLinkShell>();
        shell_ = ownShell_.get();
    }
    const int32_t result = shell_->OpenWithDesktop(url);
    if (result > 32)
        return result;
    const std::optional<std::string> command = shell_->HtmlHandlerCommand();
    if (!command)
        return result;
    const std::optional<std::string> commandLine = FallbackCommandLine(*command, url);
    if (!commandLine)
        return kCommandTooLong;
    return shell_->RunDetached(*commandLine);
}

void HyperlinkLabel::ReportOpenError(int32_t code)
{
    const std::string message = OpenErrorText(code);
    if (prompt_ != nullptr) {
        prompt_->Message("", message, PromptIcon::Warning);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), QString::fromStdString(message),
                    QMessageBox::Ok, window());
    box.exec();
}

std::string HyperlinkLabel::OpenErrorText(int32_t code)
{
    std::string message = "Unable to open hyperlink:\n\n";
    for (const OpenError& error : kOpenErrors)
        if (error.code == code)
            return message + error.text;
    std::array<char, 48> unknown{};
    std::snprintf(unknown.data(), unknown.size(), "Unknown Error (%d) occurred.", code);
    return message + unknown.data();
}

std::optional<std::string> HyperlinkLabel::FallbackCommandLine(const std::string& command, const std::string& url)
{
    std::size_t cut = FindFirstPlaceholder(command, true);
    if (cut == std::string::npos)
        cut = FindFirstPlaceholder(command, false);
    std::string line = command.substr(0, cut);
    line += ' ';
    line += url;
    if (line.size() > kMaxCommandLine)
        return std::nullopt;
    return line;
}

void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!hovering_) {
        hovering_ = true;
        if (underlineMode_ == UnderlineMode::OnHover)
            setFont(underlinedFont_);
        UpdateColour();
        // Starting the timer again restarts it, as after a click, when it is still running.
        StopHoverTimer();
        hoverTimer_ = startTimer(kHoverPeriodMs);
    }
    QLabel::mouseMoveEvent(event);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clicked = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (clicked && attached_)
        Click();
}

void HyperlinkLabel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == hoverTimer_ && !rect().contains(mapFromGlobal(QCursor::pos()))) {
        hovering_ = false;
        StopHoverTimer();
        if (underlineMode_ != UnderlineMode::Always)
            setFont(normalFont_);
        UpdateColour();
    }
    QLabel::timerEvent(event);
}

void HyperlinkLabel::Click()
{
    // The hover timer keeps running and the font stays as it is; the colour follows the outcome.
    hovering_ = false;
    const int32_t result = OpenUrl(url_);
    visited_ = result > 32;
    if (visited_) {
        SetVisited(true);
        return;
    }
    UpdateColour();
    QApplication::beep();
    ReportOpenError(result);
}

void HyperlinkLabel::StopHoverTimer()
{
    if (hoverTimer_ != 0)
        killTimer(hoverTimer_);
    hoverTimer_ = 0;
}

void HyperlinkLabel::UpdateColour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColour());
    setPalette(colours);
    update();
}

} // namespace brightowl

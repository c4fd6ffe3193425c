#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace brightowl {

class LinkShell;
class Prompt;

// A dialog's static text made into a web link: link colours, underline while hovered, the address as
// tooltip, a hand cursor, and a click that opens the address. A dialog creates it in place of its
// label 1019 and attaches it once the dialog's controls exist. Owns its fonts and hover timer;
// user-interface thread only.
class HyperlinkLabel : public QLabel
{
    Q_OBJECT

public:
    enum class UnderlineMode : int32_t
    {
        Never = 0,
        Always = 1,
        OnHover = -1
    };

    static constexpr QColor kLinkColour{0, 0, 238};
    static constexpr QColor kVisitedColour{85, 26, 139};
    static constexpr QColor kHoverColour{255, 0, 0};
    static constexpr int kHoverPeriodMs = 100;
    // Longest command line the fallback runs; a longer one is refused.
    static constexpr std::size_t kMaxCommandLine = 520;

    explicit HyperlinkLabel(QWidget* parent = nullptr);
    ~HyperlinkLabel() override;

    // Attachment: takes the URL from the text or the text from the URL, makes the fonts, fits the
    // control to its text, sets the cursor and the tooltip. Runs once; later calls do nothing.
    void Attach();
    bool IsAttached() const;

    void SetUrl(const std::string& url);
    const std::string& Url() const;
    void SetVisited(bool visited);
    bool Visited() const;
    bool Hovering() const;
    void SetUnderlineMode(UnderlineMode mode);
    UnderlineMode Underline() const;
    void SetFitToText(bool fit);
    void FitToText();
    void LoadHandCursor();
    // The colour the text is drawn in now.
    QColor TextColour() const;

    // Opens the address; greater than 32 on success, else an error code.
    int32_t OpenUrl(const std::string& url);
    void ReportOpenError(int32_t code);

    // The desktop and the message box the label uses; both default to the real ones.
    void SetShell(LinkShell* shell);
    void SetPrompt(Prompt* prompt);

    // The message for an open error code.
    static std::string OpenErrorText(int32_t code);
    // The fallback command line: the registered command cut at its placeholder, a blank and the
    // address; nothing when it would be longer than kMaxCommandLine.
    static std::optional<std::string> FallbackCommandLine(const std::string& command, const std::string& url);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Click();
    void StopHoverTimer();
    void UpdateColour();

    bool hovering_ = false;
    bool visited_ = false;
    UnderlineMode underlineMode_ = UnderlineMode::OnHover;
    bool fitToText_ = true;
    bool attached_ = false;
    bool pressed_ = false;
    std::string url_;
    QFont underlinedFont_;
    QFont normalFont_;
    bool hasCursor_ = false;
    int hoverTimer_ = 0; // 0 while stopped
    std::unique_ptr<LinkShell> ownShell_;
    LinkShell* shell_ = nullptr;
    Prompt* prompt_ = nullptr;
};

} // namespace brightowl

#include "dialogs/HyperlinkLabel.h"

#include "dialogs/DesktopLinkShell.h"

namespace brightowl {

HyperlinkLabel::HyperlinkLabel(QWidget* parent) : QLabel(parent) {}
HyperlinkLabel::~HyperlinkLabel() = default;
void HyperlinkLabel::Attach() { attached_ = true; }
bool HyperlinkLabel::IsAttached() const { return attached_; }
void HyperlinkLabel::SetUrl(const std::string& url) { url_ = url; }
const std::string& HyperlinkLabel::Url() const { return url_; }
void HyperlinkLabel::SetVisited(bool visited) { visited_ = visited; }
bool HyperlinkLabel::Visited() const { return visited_; }
bool HyperlinkLabel::Hovering() const { return hovering_; }
void HyperlinkLabel::SetUnderlineMode(UnderlineMode mode) { underlineMode_ = mode; }
HyperlinkLabel::UnderlineMode HyperlinkLabel::Underline() const { return underlineMode_; }
void HyperlinkLabel::SetFitToText(bool fit) { fitToText_ = fit; }
void HyperlinkLabel::FitToText() {}
void HyperlinkLabel::LoadHandCursor() {}
QColor HyperlinkLabel::TextColour() const { return kLinkColour; }
int32_t HyperlinkLabel::OpenUrl(const std::string&) { return 0; }
void HyperlinkLabel::ReportOpenError(int32_t) {}
void HyperlinkLabel::SetShell(LinkShell* shell) { shell_ = shell; }
void HyperlinkLabel::SetPrompt(Prompt* prompt) { prompt_ = prompt; }
std::string HyperlinkLabel::OpenErrorText(int32_t) { return {}; }
std::optional<std::string> HyperlinkLabel::FallbackCommandLine(const std::string&, const std::string&) { return {}; }
void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event) { QLabel::mouseMoveEvent(event); }
void HyperlinkLabel::mousePressEvent(QMouseEvent* event) { QLabel::mousePressEvent(event); }
void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) { QLabel::mouseReleaseEvent(event); }
void HyperlinkLabel::timerEvent(QTimerEvent* event) { QLabel::timerEvent(event); }
void HyperlinkLabel::Click() {}
void HyperlinkLabel::StopHoverTimer() {}
void HyperlinkLabel::UpdateColour() {}

} // namespace brightowl

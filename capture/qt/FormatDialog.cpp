#include "capture/qt/FormatDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace brightowl {

namespace {

QString FourCcText(uint32_t fourcc)
{
    QString text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = static_cast<char>((fourcc >> shift) & 0xff);
        text += c >= ' ' && c <= '~' ? QChar(c) : QChar('?');
    }
    return text.trimmed();
}

QString RateText(const FrameInterval& interval)
{
    const double rate = static_cast<double>(interval.denominator) / interval.numerator;
    return QStringLiteral("%1 fps").arg(rate, 0, 'g', 4);
}

// The index of the entry equal to wanted, or 0.
template <typename T> int IndexOf(const std::vector<T>& entries, const T& wanted)
{
    const auto found = std::find(entries.begin(), entries.end(), wanted);
    return found == entries.end() ? 0 : static_cast<int>(found - entries.begin());
}

} // namespace

FormatDialog::FormatDialog(CaptureDriver& driver, QWidget* parent)
    : QDialog(parent), driver_(driver), formats_(driver.PixelFormats()), current_(driver.CurrentMode()),
      formatBox_(new QComboBox(this)), sizeBox_(new QComboBox(this)), rateBox_(new QComboBox(this))
{
    setWindowTitle(tr("Video Format"));
    formatBox_->setObjectName(QStringLiteral("pixelFormat"));
    sizeBox_->setObjectName(QStringLiteral("frameSize"));
    rateBox_->setObjectName(QStringLiteral("frameRate"));

    auto* form = new QFormLayout;
    form->addRow(tr("&Pixel format:"), formatBox_);
    form->addRow(tr("&Size:"), sizeBox_);
    form->addRow(tr("&Frame rate:"), rateBox_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FormatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FormatDialog::reject);

    int currentFormat = 0;
    for (size_t i = 0; i < formats_.size(); ++i) {
        const PixelFormatChoice& format = formats_[i];
        formatBox_->addItem(
            QStringLiteral("%1 (%2)").arg(QString::fromStdString(format.description), FourCcText(format.fourcc)));
        if (format.fourcc == current_.fourcc) {
            currentFormat = static_cast<int>(i);
        }
    }
    formatBox_->setCurrentIndex(currentFormat);
    FillSizes();
    connect(formatBox_, &QComboBox::currentIndexChanged, this, &FormatDialog::FillSizes);
    connect(sizeBox_, &QComboBox::currentIndexChanged, this, &FormatDialog::FillRates);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!formats_.empty());
}

void FormatDialog::FillSizes()
{
    const QSignalBlocker blocker(sizeBox_);
    sizeBox_->clear();
    const int format = formatBox_->currentIndex();
    if (format >= 0) {
        const std::vector<FrameSize>& sizes = formats_[static_cast<size_t>(format)].sizes;
        for (const FrameSize& size : sizes) {
            sizeBox_->addItem(QStringLiteral("%1 x %2").arg(size.width).arg(size.height));
        }
        // Keep the size the camera runs at when the new format offers it too.
        sizeBox_->setCurrentIndex(IndexOf(sizes, current_.size));
    }
    sizeBox_->setEnabled(sizeBox_->count() > 0);
    FillRates();
}

void FormatDialog::FillRates()
{
    rateBox_->clear();
    const VideoMode mode = ChosenMode();
    rates_ = mode.size.width != 0 ? driver_.FrameIntervals(mode.fourcc, mode.size) : std::vector<FrameInterval>{};
    for (const FrameInterval& interval : rates_) {
        rateBox_->addItem(RateText(interval));
    }
    rateBox_->setCurrentIndex(IndexOf(rates_, current_.interval));
    rateBox_->setEnabled(rateBox_->count() > 0);
}

VideoMode FormatDialog::ChosenMode() const
{
    VideoMode mode = current_;
    const int format = formatBox_->currentIndex();
    if (format < 0) {
        return mode;
    }
    const PixelFormatChoice& choice = formats_[static_cast<size_t>(format)];
    mode.fourcc = choice.fourcc;
    const int size = sizeBox_->currentIndex();
    if (size >= 0 && static_cast<size_t>(size) < choice.sizes.size()) {
        mode.size = choice.sizes[static_cast<size_t>(size)];
    }
    const int rate = rateBox_->currentIndex();
    if (rate >= 0 && static_cast<size_t>(rate) < rates_.size()) {
        mode.interval = rates_[static_cast<size_t>(rate)];
    }
    return mode;
}

void FormatDialog::accept()
{
    if (!formats_.empty()) {
        driver_.SetMode(ChosenMode());
    }
    QDialog::accept();
}

} // namespace brightowl

#include "resources/DialogBuilder.h"

#include "resources/AppIcon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <charconv>
#include <string>

namespace brightowl {
namespace {

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Rounds like the system's MulDiv, which the dialog manager uses for the conversion.
int Scale(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

Qt::Alignment LabelAlignment(uint32_t controlStyle)
{
    Qt::Alignment alignment = Qt::AlignLeft;
    if (controlStyle & style::kStaticCentre)
        alignment = Qt::AlignHCenter;
    else if (controlStyle & style::kStaticRight)
        alignment = Qt::AlignRight;
    return alignment | ((controlStyle & style::kStaticCentreImage) ? Qt::AlignVCenter : Qt::AlignTop);
}

QWidget* MakeDefaultControl(const ControlTemplate& control, QWidget* parent)
{
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
        return new QPushButton(parent);
    case ControlKind::CheckBox:
        return new QCheckBox(parent);
    case ControlKind::Edit:
        return new QLineEdit(parent);
    case ControlKind::ComboBox:
        return new QComboBox(parent);
    case ControlKind::Label:
    case ControlKind::Icon:
        return new QLabel(parent);
    }
    return new QLabel(parent);
}

// An icon control shows the icon resource its template names (106, the application's icon).
void ShowIcon(QLabel& label, std::string_view number, QSize size)
{
    int32_t id = 0;
    std::from_chars(number.data(), number.data() + number.size(), id);
    const QIcon icon = LoadIconResource(id);
    const int side = std::min(size.width(), size.height());
    if (!icon.isNull())
        label.setPixmap(icon.pixmap(side, side));
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

// The templates were drawn for a font whose widths differ a little from the desktop's: a one-line
// label whose text is wider than its box grows to its text, keeping its aligned edge, so that it is
// not cut off (word wrap would push the rest below the box).
QRect WidenToText(const QLabel& label, QRect box, int dialogWidth)
{
    const QFontMetrics metrics = label.fontMetrics();
    if (box.height() >= 2 * metrics.height())
        return box;
    const int needed = metrics.horizontalAdvance(label.text());
    if (needed <= box.width())
        return box;
    const int grow = needed - box.width();
    if (label.alignment() & Qt::AlignHCenter)
        box.adjust(-grow / 2, 0, grow - grow / 2, 0);
    else if (label.alignment() & Qt::AlignRight)
        box.adjust(-grow, 0, 0, 0);
    else
        box.adjust(0, 0, grow, 0);
    return box.intersected(QRect(0, box.y(), dialogWidth, box.height()));
}

void Configure(QWidget& widget, const ControlTemplate& control, QRect pixels, QDialog& dialog)
{
    const QString text = ToQString(control.text);
    if (control.id != kNoId)
        widget.setObjectName(QString::number(control.id));
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        button->setText(text);
        const bool isDefault = control.kind == ControlKind::DefaultPushButton;
        button->setDefault(isDefault);
        button->setAutoDefault(isDefault);
        if (control.id == 1)
            QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
        else if (control.id == 2)
            QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::reject);
    } else if (auto* check = qobject_cast<QCheckBox*>(&widget)) {
        check->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        combo->setEditable(false);
        // The template's height includes the open list; the closed box is as high as its font needs.
        pixels.setHeight(combo->sizeHint().height());
    } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
        if (control.kind == ControlKind::Icon) {
            ShowIcon(*label, control.text, pixels.size());
        } else {
            label->setText(text);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(LabelAlignment(control.style));
            label->setWordWrap(pixels.height() >= 2 * label->fontMetrics().height());
            pixels = WidenToText(*label, pixels, dialog.width());
        }
    }
    widget.setGeometry(pixels);
}

} // namespace

QFont DialogBuilder::TemplateFont(const DialogTemplate& dialogTemplate)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (dialogTemplate.fontPoints > 0) {
        font.setStyleHint(QFont::SansSerif);
        font.setPointSize(dialogTemplate.fontPoints);
    }
    return font;
}

QSize DialogBuilder::BaseUnits(const QFont& font)
{
    // The average width is taken over the letters of the alphabet and rounded, as the dialog
    // manager does it.
    const QFontMetrics metrics(font);
    const int alphabetWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabetWidth / 26 + 1) / 2, metrics.height()};
}

QRect DialogBuilder::ToPixels(const QRect& dialogUnits, QSize baseUnits)
{
    const QPoint topLeft = ToPixels(dialogUnits.topLeft(), baseUnits);
    return {topLeft.x(), topLeft.y(), Scale(dialogUnits.width(), baseUnits.width(), 4),
            Scale(dialogUnits.height(), baseUnits.height(), 8)};
}

QPoint DialogBuilder::ToPixels(QPoint dialogUnits, QSize baseUnits)
{
    return {Scale(dialogUnits.x(), baseUnits.width(), 4), Scale(dialogUnits.y(), baseUnits.height(), 8)};
}

void DialogBuilder::Build(QDialog& dialog, const DialogTemplate& dialogTemplate, const ControlFactory& factory)
{
    const QFont font = TemplateFont(dialogTemplate);
    const QSize base = BaseUnits(font);
    dialog.setFont(font);
    dialog.setWindowTitle(ToQString(dialogTemplate.caption));
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint);
    dialog.setFixedSize(ToPixels(QRect(0, 0, dialogTemplate.width, dialogTemplate.height), base).size());

    QWidget* first = nullptr;
    QWidget* previous = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = factory ? factory(control, &dialog) : nullptr;
        if (widget == nullptr)
            widget = MakeDefaultControl(control, &dialog);
        Configure(*widget, control, ToPixels(QRect(control.x, control.y, control.width, control.height), base), dialog);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr)
                QWidget::setTabOrder(previous, widget);
            else
                first = widget;
            previous = widget;
        }
    }
    // The dialog opens with the focus on its first control in tab order.
    if (first != nullptr)
        first->setFocus(Qt::OtherFocusReason);
}

} // namespace brightowl

#include "capture/qt/SourceDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace brightowl {

namespace {

QString ControlObjectName(uint32_t id)
{
    return QStringLiteral("control-%1").arg(id);
}

} // namespace

SourceDialog::SourceDialog(CaptureDriver& driver, QWidget* parent)
    : QDialog(parent), driver_(driver), controls_(driver.Controls())
{
    setWindowTitle(tr("Video Source"));
    auto* layout = new QVBoxLayout(this);
    if (controls_.empty()) {
        layout->addWidget(new QLabel(tr("This camera has no adjustable controls."), this));
    } else {
        // Cameras offer anything from three to thirty controls: the rows scroll when they are many.
        auto* area = new QScrollArea(this);
        auto* rows = new QWidget(area);
        auto* form = new QFormLayout(rows);
        for (const ControlInfo& control : controls_) {
            AddRow(*form, control);
        }
        area->setWidget(rows);
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        layout->addWidget(area);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Reset | QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Reset)->setEnabled(!controls_.empty());
    layout->addWidget(buttons);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, &SourceDialog::Reset);
    connect(buttons, &QDialogButtonBox::rejected, this, &SourceDialog::reject);
}

void SourceDialog::AddRow(QFormLayout& form, const ControlInfo& control)
{
    switch (control.kind) {
    case ControlInfo::Kind::Integer:
        AddInteger(form, control);
        break;
    case ControlInfo::Kind::Boolean:
        AddBoolean(form, control);
        break;
    case ControlInfo::Kind::Menu:
        AddMenu(form, control);
        break;
    case ControlInfo::Kind::Button:
        AddButton(form, control);
        break;
    }
}

void SourceDialog::AddInteger(QFormLayout& form, const ControlInfo& control)
{
    auto* slider = new QSlider(Qt::Horizontal);
    auto* spin = new QSpinBox;
    slider->setObjectName(ControlObjectName(control.id));
    spin->setObjectName(ControlObjectName(control.id) + QStringLiteral("-value"));
    slider->setRange(control.minimum, control.maximum);
    slider->setSingleStep(control.step);
    slider->setPageStep(std::max(control.step, (control.maximum - control.minimum) / 10));
    spin->setRange(control.minimum, control.maximum);
    spin->setSingleStep(control.step);
    slider->setValue(control.value);
    spin->setValue(control.value);
    // The number box applies; the slider only moves the number, so each change is sent once.
    connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
    connect(spin, &QSpinBox::valueChanged, this, [this, slider, id = control.id](int value) {
        const QSignalBlocker blocker(slider);
        slider->setValue(value);
        driver_.SetControl(id, value);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(spin);
    form.addRow(QString::fromStdString(control.name), row);
    show_.push_back([slider, spin](int32_t value) {
        const QSignalBlocker sliderBlocker(slider);
        const QSignalBlocker spinBlocker(spin);
        slider->setValue(value);
        spin->setValue(value);
    });
}

void SourceDialog::AddBoolean(QFormLayout& form, const ControlInfo& control)
{
    auto* box = new QCheckBox;
    box->setObjectName(ControlObjectName(control.id));
    box->setChecked(control.value != 0);
    connect(box, &QCheckBox::toggled, this,
            [this, id = control.id](bool checked) { driver_.SetControl(id, checked ? 1 : 0); });
    form.addRow(QString::fromStdString(control.name), box);
    show_.push_back([box](int32_t value) {
        const QSignalBlocker blocker(box);
        box->setChecked(value != 0);
    });
}

void SourceDialog::AddMenu(QFormLayout& form, const ControlInfo& control)
{
    auto* list = new QComboBox;
    list->setObjectName(ControlObjectName(control.id));
    for (const auto& [value, text] : control.menuItems) {
        list->addItem(QString::fromStdString(text), value);
    }
    list->setCurrentIndex(list->findData(control.value));
    connect(list, &QComboBox::currentIndexChanged, this, [this, list, id = control.id](int index) {
        if (index >= 0) {
            driver_.SetControl(id, list->itemData(index).toInt());
        }
    });
    form.addRow(QString::fromStdString(control.name), list);
    show_.push_back([list](int32_t value) {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(list->findData(value));
    });
}

void SourceDialog::AddButton(QFormLayout& form, const ControlInfo& control)
{
    auto* button = new QPushButton(QString::fromStdString(control.name));
    button->setObjectName(ControlObjectName(control.id));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id = control.id] { driver_.SetControl(id, 1); });
    form.addRow(button);
    show_.push_back([](int32_t) {});
}

void SourceDialog::Reset()
{
    // A control whose automatic mode is still on may refuse its manual value until that mode has
    // been reset itself, which may come later in the list: what was refused is tried once more.
    std::vector<size_t> refused;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<size_t> again;
        const size_t count = pass == 0 ? controls_.size() : refused.size();
        for (size_t n = 0; n < count; ++n) {
            const size_t i = pass == 0 ? n : refused[n];
            const ControlInfo& control = controls_[i];
            if (control.kind == ControlInfo::Kind::Button) {
                continue;
            }
            if (!driver_.SetControl(control.id, control.defaultValue)) {
                again.push_back(i);
            }
            show_[i](control.defaultValue);
        }
        refused = std::move(again);
    }
}

} // namespace brightowl

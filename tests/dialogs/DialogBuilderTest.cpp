#include "resources/DialogBuilder.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <ostream>
#include <set>

namespace brightowl::test {
namespace {

TEST(DialogBuilderTest, ConvertsDialogUnitsWithTheFontsBaseUnits)
{
    const QSize base(6, 13);
    EXPECT_EQ(DialogBuilder::ToPixels(QRect(4, 8, 50, 14), base), QRect(6, 13, 75, 23));
    EXPECT_EQ(DialogBuilder::ToPixels(QPoint(1, 1), base), QPoint(2, 2)); // 1.5 and 1.625 round up
    EXPECT_EQ(DialogBuilder::ToPixels(QPoint(20, 20), base), QPoint(30, 33));
}

TEST(DialogBuilderTest, BaseUnitsAreTheAverageLetterWidthAndTheLineHeight)
{
    const QFont font = DialogBuilder::TemplateFont(*FindDialogTemplate("SETUPDIALOG"));
    EXPECT_EQ(font.pointSize(), 8);
    const QFontMetrics metrics(font);
    const QSize base = DialogBuilder::BaseUnits(font);
    EXPECT_EQ(base.height(), metrics.height());
    const double average = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
    EXPECT_LE(std::abs(base.width() - average), 0.5 + 1.0 / 52);
}

TEST(DialogBuilderTest, FindsTemplatesByNameInAnyCaseAndByNumber)
{
    EXPECT_EQ(FindDialogTemplate("SetupDialog"), FindDialogTemplate("SETUPDIALOG"));
    EXPECT_EQ(FindDialogTemplate("DriverSelect")->caption, "Select Driver");
    EXPECT_EQ(FindDialogTemplate(111)->caption, "Setup Wizard");
    EXPECT_EQ(FindDialogTemplate(105)->caption, "About");
    EXPECT_EQ(FindDialogTemplate(110)->caption, "Thank You!");
    EXPECT_EQ(FindDialogTemplate("Nothing"), nullptr);
    EXPECT_EQ(FindDialogTemplate(""), nullptr);
    EXPECT_EQ(FindDialogTemplate(999), nullptr);
}

class TemplateTest : public testing::TestWithParam<const DialogTemplate*>
{
};

TEST_P(TemplateTest, ControlsLieInsideTheDialogWithDistinctIds)
{
    const DialogTemplate& dialogTemplate = *GetParam();
    std::set<int> ids;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.id != kNoId) {
            EXPECT_TRUE(ids.insert(control.id).second) << control.id;
        }
        const int height = control.kind == ControlKind::ComboBox ? 14 : control.height; // the list drops out
        EXPECT_LE(control.x + control.width, dialogTemplate.width) << control.text;
        EXPECT_LE(control.y + height, dialogTemplate.height) << control.text;
    }
}

TEST_P(TemplateTest, BuildsNamedControlsInTabOrderAtTheirPlaces)
{
    const DialogTemplate& dialogTemplate = *GetParam();
    QDialog dialog;
    DialogBuilder::Build(dialog, dialogTemplate);
    const QSize base = DialogBuilder::BaseUnits(dialog.font());
    EXPECT_EQ(dialog.windowTitle().toStdString(), dialogTemplate.caption);
    EXPECT_EQ(dialog.size(),
              DialogBuilder::ToPixels(QRect(0, 0, dialogTemplate.width, dialogTemplate.height), base).size());

    const QList<QWidget*> children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), static_cast<qsizetype>(dialogTemplate.controls.size()));
    std::vector<QWidget*> focusable;
    for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
        const ControlTemplate& control = dialogTemplate.controls[i];
        QWidget* widget = children[static_cast<qsizetype>(i)];
        if (control.id != kNoId) {
            EXPECT_EQ(widget->objectName(), QString::number(control.id));
        }
        const QRect expected =
            DialogBuilder::ToPixels(QRect(control.x, control.y, control.width, control.height), base);
        if (control.kind != ControlKind::Label || !(control.style & (style::kStaticCentre | style::kStaticRight))) {
            EXPECT_EQ(widget->pos(), expected.topLeft()) << control.text;
        }
        auto* label = qobject_cast<QLabel*>(widget);
        if (label != nullptr && control.kind == ControlKind::Label && widget->width() != expected.width()) {
            // A one-line label grows to a text wider than its box, and only then.
            EXPECT_GT(widget->width(), expected.width()) << control.text;
            EXPECT_EQ(widget->width(),
                      std::min(label->fontMetrics().horizontalAdvance(label->text()), dialog.width() - widget->x()));
            EXPECT_EQ(widget->height(), expected.height()) << control.text;
        } else if (control.kind != ControlKind::ComboBox) {
            EXPECT_EQ(widget->size(), expected.size()) << control.text;
        }
        if (widget->focusPolicy() != Qt::NoFocus)
            focusable.push_back(widget);
        if (control.kind == ControlKind::Icon) {
            EXPECT_FALSE(qobject_cast<QLabel*>(widget)->pixmap().isNull()) << "icon " << control.text;
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->isDefault(), control.kind == ControlKind::DefaultPushButton);
        }
    }
    ASSERT_FALSE(focusable.empty());
    std::vector<QWidget*> chain;
    for (QWidget* at = dialog.nextInFocusChain(); at != &dialog && chain.size() < 100; at = at->nextInFocusChain())
        if (at->focusPolicy() != Qt::NoFocus)
            chain.push_back(at);
    EXPECT_EQ(chain, focusable);
    EXPECT_EQ(dialog.focusWidget(), focusable.front());
}

// Nothing is cut off: every label's text fits its box in the dialog's font.
TEST_P(TemplateTest, LabelTextsFitTheirBoxes)
{
    QDialog dialog;
    DialogBuilder::Build(dialog, *GetParam());
    const QFontMetrics metrics(dialog.font());
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->objectName() == "1019") // the link fits itself to its text
            continue;
        const QRect needed = metrics.boundingRect(
            QRect(QPoint(0, 0), label->size()), static_cast<int>(Qt::TextWordWrap | label->alignment()), label->text());
        EXPECT_LE(needed.width(), label->width()) << label->text().toStdString();
        EXPECT_LE(needed.height(), label->height()) << label->text().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest,
                         testing::Values(FindDialogTemplate("SETUPDIALOG"), FindDialogTemplate("DRIVERSELECT"),
                                         FindDialogTemplate(111), FindDialogTemplate(105), FindDialogTemplate(110)),
                         [](const testing::TestParamInfo<const DialogTemplate*>& param) {
                             std::string name;
                             for (char ch : param.param->caption)
                                 if (std::isalnum(static_cast<unsigned char>(ch)))
                                     name += ch;
                             return name;
                         });

} // namespace
} // namespace brightowl::test

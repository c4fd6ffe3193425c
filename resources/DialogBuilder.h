#pragma once

#include "resources/DialogTemplate.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>

class QDialog;
class QWidget;

namespace brightowl {

// Makes a dialog's widgets from its template. Dialog units become pixels as on the system the
// templates were drawn for: x times the font's average character width / 4, y times its height / 8.
// Each control is named after its id ("1007"), so that code and tests find it; the tab order is the
// template order. User-interface thread only.
class DialogBuilder
{
public:
    // Supplies the widget for a control (a dialog's own subclass, such as its hyperlink label),
    // or nullptr for the builder's default widget of that kind.
    using ControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

    // The font a template asks for: its point size in the desktop's sans-serif family, or the
    // desktop's own font for a template that names none.
    static QFont TemplateFont(const DialogTemplate& dialogTemplate);

    // Width: average character width of the font; height: its line height.
    static QSize BaseUnits(const QFont& font);
    static QRect ToPixels(const QRect& dialogUnits, QSize baseUnits);
    static QPoint ToPixels(QPoint dialogUnits, QSize baseUnits);

    // Sets the dialog's caption, font and fixed client size and creates its controls.
    static void Build(QDialog& dialog, const DialogTemplate& dialogTemplate, const ControlFactory& factory = {});
};

} // namespace brightowl

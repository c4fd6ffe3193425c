#include "dialogs/DialogPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

namespace brightowl {
namespace {

QWidget* VisibleOwner(QWidget& dialog)
{
    QWidget* owner = dialog.parentWidget() != nullptr ? dialog.parentWidget()->window() : nullptr;
    if (owner == nullptr || !owner->isVisible() || owner->isMinimized())
        return nullptr;
    return owner;
}

} // namespace

void CentreOverOwner(QWidget& dialog)
{
    QRect area;
    if (QWidget* owner = VisibleOwner(dialog)) {
        area = owner->frameGeometry();
    } else {
        QScreen* screen = dialog.parentWidget() != nullptr ? dialog.parentWidget()->screen() : nullptr;
        if (screen == nullptr)
            screen = QGuiApplication::primaryScreen();
        if (screen == nullptr)
            return;
        area = screen->availableGeometry();
    }
    const QSize size = dialog.frameGeometry().size();
    dialog.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void PlaceInOwnerClientArea(QWidget& dialog, int x, int y)
{
    QWidget* owner = dialog.parentWidget() != nullptr ? dialog.parentWidget()->window() : nullptr;
    if (owner == nullptr) {
        CentreOverOwner(dialog);
        return;
    }
    QPoint origin(0, 0);
    if (auto* mainWindow = qobject_cast<QMainWindow*>(owner); mainWindow != nullptr && mainWindow->menuWidget())
        origin.setY(mainWindow->menuWidget()->height());
    dialog.move(owner->mapToGlobal(origin) + QPoint(x, y));
}

} // namespace brightowl

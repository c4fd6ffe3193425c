#include "app/MenuBuilder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>

namespace brightowl {

void BuildMenuBar(QMenuBar& menuBar, std::span<const MenuEntry> menu, const std::function<void(int32_t)>& onCommand)
{
    QMenu* popup = nullptr;
    const char* popupText = nullptr;
    for (const MenuEntry& entry : menu) {
        if (popup == nullptr || QString::fromLatin1(popupText) != QString::fromLatin1(entry.popup)) {
            popupText = entry.popup;
            popup = menuBar.addMenu(QString::fromLatin1(entry.popup));
        }
        if (entry.text == nullptr) {
            popup->addSeparator();
            continue;
        }
        QAction* action = popup->addAction(QString::fromLatin1(entry.text));
        const int32_t command = entry.command;
        action->setData(command);
        QObject::connect(action, &QAction::triggered, &menuBar, [onCommand, command] { onCommand(command); });
    }
}

} // namespace brightowl

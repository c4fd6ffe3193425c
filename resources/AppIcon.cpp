#include "resources/AppIcon.h"

#include <QPixmap>

namespace brightowl {

namespace {
#include "resources/Icon106_16.xpm"
#include "resources/Icon106_32.xpm"
} // namespace

QIcon LoadIconResource(int32_t id)
{
    if (id != kAppIconId)
        return {};
    QIcon icon;
    icon.addPixmap(QPixmap(kIcon106Large));
    icon.addPixmap(QPixmap(kIcon106Small));
    return icon;
}

} // namespace brightowl

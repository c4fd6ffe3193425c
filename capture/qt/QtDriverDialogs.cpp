#include "capture/qt/QtDriverDialogs.h"

#include "capture/qt/FormatDialog.h"
#include "capture/qt/SourceDialog.h"

namespace brightowl {

void QtDriverDialogs::ShowFormatDialog(CaptureDriver& driver, void* parentWindow)
{
    FormatDialog dialog(driver, static_cast<QWidget*>(parentWindow));
    dialog.exec();
}

void QtDriverDialogs::ShowSourceDialog(CaptureDriver& driver, void* parentWindow)
{
    SourceDialog dialog(driver, static_cast<QWidget*>(parentWindow));
    dialog.exec();
}

} // namespace brightowl

#include "dialogs/DriverSelectDialog.h"

#include "dialogs/DialogHost.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/DriverList.h"
#include "resources/DialogBuilder.h"

#include <QComboBox>
#include <QShowEvent>

namespace brightowl {
namespace {

constexpr int kDriverCount = 10;
// The name buffer holds 80 characters with its terminating zero.
constexpr std::size_t kMaxNameLength = 79;

} // namespace

DriverSelectDialog::DriverSelectDialog(DialogHost& host, DriverList& drivers, QWidget* parent)
    : QDialog(parent), host_(host), drivers_(drivers)
{
    Build();
}

DriverSelectDialog::DriverSelectDialog(DialogHost& host, std::unique_ptr<DriverList> ownDrivers, QWidget* parent)
    : QDialog(parent), host_(host), ownDrivers_(std::move(ownDrivers)), drivers_(*ownDrivers_)
{
    Build();
}

void DriverSelectDialog::Build()
{
    DialogBuilder::Build(*this, *FindDialogTemplate("DriverSelect"));
    list_ = findChild<QComboBox*>("1000");
    FillList();
}

DriverSelectDialog::~DriverSelectDialog() = default;

void DriverSelectDialog::FillList()
{
    for (int32_t index = 0; index < kDriverCount; ++index) {
        std::optional<std::string> name = drivers_.DriverName(index);
        if (!name)
            continue;
        if (name->size() > kMaxNameLength)
            name->resize(kMaxNameLength);
        list_->addItem(QString::fromStdString(*name), index);
    }
    if (list_->count() > 0)
        list_->setCurrentIndex(0);
}

void DriverSelectDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    const DialogTemplate& dialogTemplate = *FindDialogTemplate("DriverSelect");
    const QPoint offset =
        DialogBuilder::ToPixels(QPoint(dialogTemplate.x, dialogTemplate.y), DialogBuilder::BaseUnits(font()));
    PlaceInOwnerClientArea(*this, offset.x(), offset.y());
}

void DriverSelectDialog::accept()
{
    const int32_t index = list_->currentIndex() >= 0 ? list_->currentData().toInt() : -1;
    host_.HostSettings().driverIndex = static_cast<uint32_t>(index);
    drivers_.ConnectDriver(static_cast<uint32_t>(index));
    host_.FitWindowToVideo();
    host_.SaveSettings();
    QDialog::accept();
}

} // namespace brightowl

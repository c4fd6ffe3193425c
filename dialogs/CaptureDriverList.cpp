#include "dialogs/CaptureDriverList.h"

#include "capture/CaptureDevice.h"
#include "dialogs/DialogHost.h"
#include "dialogs/DriverSelectDialog.h"

#include <array>

namespace brightowl {

CaptureDriverList::CaptureDriverList(CaptureDevice& device) : device_(device) {}

std::optional<std::string> CaptureDriverList::DriverName(int32_t index)
{
    std::array<char, 80> name{};
    std::array<char, 80> version{};
    if (!device_.GetDriverDescription(index, name.data(), static_cast<int32_t>(name.size()), version.data(),
                                      static_cast<int32_t>(version.size())))
        return std::nullopt;
    name.back() = '\0';
    return std::string(name.data());
}

void CaptureDriverList::ConnectDriver(uint32_t index)
{
    device_.ConnectDriver(index);
}

// The dialog's constructor for the program lives here, beside the only code that needs the capture
// library, so that the dialog itself builds and tests without it.
DriverSelectDialog::DriverSelectDialog(DialogHost& host, QWidget* parent)
    : DriverSelectDialog(host, std::make_unique<CaptureDriverList>(host.HostCaptureDevice()), parent)
{
}

} // namespace brightowl

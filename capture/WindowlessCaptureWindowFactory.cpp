#include "capture/WindowlessCaptureWindowFactory.h"

#include "capture/CaptureDriver.h"
#include "capture/DriverCaptureWindow.h"

namespace brightowl {

WindowlessCaptureWindowFactory::WindowlessCaptureWindowFactory(const DriverCatalog& catalog, DriverDialogs& dialogs)
    : catalog_(catalog), dialogs_(dialogs)
{
}

std::unique_ptr<CaptureWindow> WindowlessCaptureWindowFactory::Create(const std::string&, void*, int32_t, int32_t,
                                                                      int32_t, int32_t)
{
    return std::make_unique<DriverCaptureWindow>(catalog_, dialogs_, nullptr, nullptr);
}

bool WindowlessCaptureWindowFactory::GetDriverDescription(uint32_t index, std::string& name,
                                                          std::string& version) const
{
    return catalog_.Describe(static_cast<int>(index), name, version);
}

} // namespace brightowl

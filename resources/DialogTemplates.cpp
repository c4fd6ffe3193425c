#include "resources/DialogTemplate.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace brightowl {
namespace {

using namespace style;

constexpr uint32_t kDialogStyle = kModalFrame | kPopup | kCaption | kSysMenu;
constexpr uint32_t kPushStyle = kTabStop;
constexpr uint32_t kDefaultPushStyle = kButtonDefault | kTabStop;
constexpr uint32_t kEditStyle = kEditAutoHScroll | kBorder | kTabStop;
constexpr uint32_t kLeftText = 0;
constexpr uint32_t kCentredText = kStaticCentre;

constexpr std::string_view kMakerSite = "http://www.quillmoor.example/brightowl/";
constexpr std::string_view kMakerFaq = "http://www.quillmoor.example/brightowl/faq.html";

constexpr std::array kSetupControls = {
    ControlTemplate{1, ControlKind::DefaultPushButton, "OK", 37, 111, 50, 14, kDefaultPushStyle},
    ControlTemplate{2, ControlKind::PushButton, "Cancel", 153, 111, 50, 14, kPushStyle},
    ControlTemplate{kNoId, ControlKind::Label, "HTTP Server:", 7, 8, 51, 8, kLeftText},
    ControlTemplate{1005, ControlKind::CheckBox, "Log Connections", 93, 19, 98, 13, kButtonAutoCheckBox | kTabStop},
    ControlTemplate{kNoId, ControlKind::Label, "Image Processing:", 7, 73, 61, 11, kLeftText},
    ControlTemplate{kNoId, ControlKind::Label, "JPEG Quality:", 20, 89, 44, 8, kLeftText},
    ControlTemplate{1007, ControlKind::Edit, "", 67, 87, 24, 14, kEditStyle},
    ControlTemplate{kNoId, ControlKind::Label, "%", 93, 89, 17, 9, kLeftText},
    ControlTemplate{1008, ControlKind::Edit, "", 142, 35, 33, 14, kEditStyle},
    ControlTemplate{kNoId, ControlKind::Label, "Maximum Simultaneous Connections:", 17, 38, 118, 8, kLeftText},
    ControlTemplate{kNoId, ControlKind::Label, "Port:", 17, 23, 16, 8, kLeftText},
    ControlTemplate{1012, ControlKind::Edit, "", 40, 20, 41, 13, kEditStyle},
    ControlTemplate{kNoId, ControlKind::Label, "Webcam URL:", 17, 56, 52, 8, kLeftText},
    ControlTemplate{1014, ControlKind::Edit, "", 72, 55, 164, 13, kEditStyle},
};

constexpr std::array kDriverSelectControls = {
    ControlTemplate{1, ControlKind::DefaultPushButton, "Ok", 20, 30, 40, 15, kDefaultPushStyle},
    ControlTemplate{2, ControlKind::PushButton, "Cancel", 150, 30, 40, 15, kPushStyle},
    ControlTemplate{1000, ControlKind::ComboBox, "", 5, 5, 200, 300, kComboDropDownList | kVScroll | kTabStop},
};

constexpr std::array kWizardControls = {
    ControlTemplate{1, ControlKind::DefaultPushButton, "OK", 230, 96, 50, 14, kDefaultPushStyle},
    ControlTemplate{2, ControlKind::PushButton, "Cancel", 230, 113, 50, 14, kPushStyle},
    ControlTemplate{kNoId, ControlKind::Icon, "106", 14, 99, 21, 20, 0},
    ControlTemplate{1017, ControlKind::Edit, "", 112, 96, 110, 14, kEditStyle},
    ControlTemplate{kNoId, ControlKind::Label, "Your IP Address:", 52, 99, 56, 8, kLeftText},
    ControlTemplate{kNoId, ControlKind::Label,
                    "Welcome to Brightowl!\nThis wizard is designed to help you setup your webcam.  It will "
                    "automatically generate an appropriate index page for you.",
                    28, 13, 235, 27, kCentredText},
    ControlTemplate{1018, ControlKind::Edit, "", 112, 112, 110, 14, kEditStyle},
    ControlTemplate{kNoId, ControlKind::Label, "Your Port Number:", 46, 114, 61, 8, kLeftText},
    ControlTemplate{kNoId, ControlKind::Label,
                    "Enter your IP address and what port number you would like to use for your webcam.  The "
                    "below values do not need to be changed unless you are behind a firewall and/or have "
                    "multiple IP addresses.",
                    25, 41, 242, 24, kCentredText},
    ControlTemplate{kNoId, ControlKind::Label, "If you are behind a firewall, you may find your IP address by visiting",
                    39, 70, 210, 8, kLeftText},
    ControlTemplate{1019, ControlKind::Label, kMakerFaq, 66, 80, 156, 8, kLeftText},
};

constexpr std::array kAboutControls = {
    ControlTemplate{kNoId, ControlKind::Label, "Brightowl v1.2", 53, 20, 70, 9, kLeftText},
    ControlTemplate{kNoId, ControlKind::Label, "Copyright (C) 2026 Quillmoor", 30, 44, 126, 8, kLeftText},
    ControlTemplate{1015, ControlKind::Icon, "106", 23, 15, 21, 20, 0},
    ControlTemplate{1, ControlKind::DefaultPushButton, "OK", 128, 8, 50, 14, kDefaultPushStyle},
    ControlTemplate{1019, ControlKind::Label, kMakerSite, 46, 54, 92, 8, kLeftText},
};

constexpr std::array kThankYouControls = {
    ControlTemplate{1, ControlKind::DefaultPushButton, "Thank You!", 80, 72, 50, 14, kDefaultPushStyle},
    ControlTemplate{kNoId, ControlKind::Label, "Thank you for using Brightowl v1.2!", 41, 20, 118, 8, kLeftText},
    ControlTemplate{kNoId, ControlKind::Icon, "106", 13, 14, 21, 20, 0},
    ControlTemplate{kNoId, ControlKind::Label, "If you enjoyed using Brightowl, please visit", 35, 37, 139, 8,
                    kLeftText},
    ControlTemplate{kNoId, ControlKind::Label, "and consider donating to the development effort.", 35, 57, 154, 8,
                    kLeftText},
    ControlTemplate{1019, ControlKind::Label, kMakerSite, 35, 47, 88, 8, kLeftText},
};

constexpr std::array kTemplates = {
    DialogTemplate{"SETUPDIALOG", 0, "Server Setup", 0, 0, 249, 132, kDialogStyle, 8, "MS Sans Serif", kSetupControls},
    DialogTemplate{"DRIVERSELECT", 0, "Select Driver", 20, 20, 210, 50, kDialogStyle | style::kVisible, 0, "",
                   kDriverSelectControls},
    DialogTemplate{"", 111, "Setup Wizard", 0, 0, 287, 141, kDialogStyle, 8, "MS Sans Serif", kWizardControls},
    DialogTemplate{"", 105, "About", 0, 0, 186, 73, kDialogStyle, 8, "MS Sans Serif", kAboutControls},
    DialogTemplate{"", 110, "Thank You!", 0, 0, 211, 93, kDialogStyle, 8, "MS Sans Serif", kThankYouControls},
};

bool SameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

} // namespace

const DialogTemplate* FindDialogTemplate(std::string_view name)
{
    if (name.empty())
        return nullptr;
    for (const DialogTemplate& candidate : kTemplates)
        if (SameName(candidate.name, name))
            return &candidate;
    return nullptr;
}

const DialogTemplate* FindDialogTemplate(int number)
{
    if (number == 0)
        return nullptr;
    for (const DialogTemplate& candidate : kTemplates)
        if (candidate.number == number)
            return &candidate;
    return nullptr;
}

} // namespace brightowl

#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace brightowl {

// The window styles a template can carry, with the values the templates were written in.
namespace style {
inline constexpr uint32_t kStaticCentre = 0x0001;      // centred text
inline constexpr uint32_t kStaticRight = 0x0002;       // right-aligned text
inline constexpr uint32_t kStaticNotify = 0x0100;      // reports clicks
inline constexpr uint32_t kStaticCentreImage = 0x0200; // vertically centred text
inline constexpr uint32_t kEditAutoHScroll = 0x0080;
inline constexpr uint32_t kButtonDefault = 0x0001;
inline constexpr uint32_t kButtonAutoCheckBox = 0x0003;
inline constexpr uint32_t kComboDropDownList = 0x0003;
inline constexpr uint32_t kTabStop = 0x00010000;
inline constexpr uint32_t kVScroll = 0x00200000;
inline constexpr uint32_t kBorder = 0x00800000;
inline constexpr uint32_t kSysMenu = 0x00080000;
inline constexpr uint32_t kCaption = 0x00C00000;
inline constexpr uint32_t kVisible = 0x10000000;
inline constexpr uint32_t kPopup = 0x80000000;
inline constexpr uint32_t kModalFrame = 0x0080;
} // namespace style

enum class ControlKind
{
    PushButton,
    DefaultPushButton,
    CheckBox,
    Label,
    Edit,
    ComboBox,
    Icon
};

// A control without an id of its own.
inline constexpr int kNoId = -1;

// One control of a dialog template; position and size in dialog units.
struct ControlTemplate
{
    int id = kNoId;
    ControlKind kind = ControlKind::Label;
    std::string_view text; // for an icon: the icon's resource number
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    uint32_t style = 0;
};

// A dialog template as the program's resources hold it: the controls are in template order,
// which is also the tab order.
struct DialogTemplate
{
    std::string_view name; // the resource name, empty for a numbered template
    int number = 0;        // the resource number, 0 for a named template
    std::string_view caption;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    uint32_t style = 0;
    int fontPoints = 0;        // 0: the system's dialog font
    std::string_view fontName; // empty with fontPoints 0
    std::span<const ControlTemplate> controls;
};

// The templates by resource name (case does not matter, as with any resource name) or number;
// nullptr when there is none.
const DialogTemplate* FindDialogTemplate(std::string_view name);
const DialogTemplate* FindDialogTemplate(int number);

} // namespace brightowl

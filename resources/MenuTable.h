#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace brightowl {

// The main window's command numbers, as the menu carries them.
namespace Command {
constexpr int32_t Exit = 101;
constexpr int32_t Format = 200;
constexpr int32_t Source = 201;
constexpr int32_t SelectDriver = 202;
constexpr int32_t Preview = 203;
constexpr int32_t Setup = 300;
constexpr int32_t StartServer = 301;
constexpr int32_t StopServer = 302;
constexpr int32_t About = 40003;
constexpr int32_t Readme = 40004;
constexpr int32_t Wizard = 40005;
constexpr int32_t ViewLog = 40006;
} // namespace Command

// One row of a menu resource: an item of a pop-up, or a separator (command 0, no text).
struct MenuEntry
{
    const char* popup; // the pop-up's text with its "&" access key
    int32_t command;
    const char* text; // the item's text with its "&" access key; nullptr for a separator
};

inline constexpr std::string_view kMainMenuName = "WEBCAMMENU";

// The rows of the named menu resource in their order; empty when there is no such menu.
std::span<const MenuEntry> FindMenuResource(std::string_view name);

} // namespace brightowl

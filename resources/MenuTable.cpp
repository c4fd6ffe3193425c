#include "resources/MenuTable.h"

#include <array>

namespace brightowl {

namespace {

// Pop-ups and items in menu order; no item is checked or greyed, and there is no accelerator table.
constexpr std::array<MenuEntry, 13> kWebcamMenu = {{
    {"&File", Command::Exit, "E&xit"},
    {"&Video", Command::Preview, "&Preview"},
    {"&Video", Command::SelectDriver, "Select &Driver"},
    {"&Video", Command::Format, "&Format"},
    {"&Video", Command::Source, "&Source"},
    {"&Server", Command::Setup, "&Setup"},
    {"&Server", Command::StartServer, "S&tart Server"},
    {"&Server", Command::StopServer, "Sto&p Server"},
    {"&Server", 0, nullptr},
    {"&Server", Command::ViewLog, "View Log"},
    {"&Help", Command::About, "&About"},
    {"&Help", Command::Readme, "&Readme"},
    {"&Help", Command::Wizard, "&Wizard"},
}};

} // namespace

std::span<const MenuEntry> FindMenuResource(std::string_view name)
{
    if (name == kMainMenuName)
        return kWebcamMenu;
    return {};
}

} // namespace brightowl

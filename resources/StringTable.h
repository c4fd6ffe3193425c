#pragma once

#include <cstdint>

namespace brightowl {

// The status bar's panes, each named by the string that gives its initial text.
namespace StringId {
constexpr uint32_t UsersPane = 60000;
constexpr uint32_t ServerPane = 60001;
constexpr uint32_t PreviewPane = 60002;
} // namespace StringId

// The text of a string-table entry, or nullptr when the table has none with that id.
const char* LoadResourceString(uint32_t id);

} // namespace brightowl

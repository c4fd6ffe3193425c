#pragma once

#include "resources/MenuTable.h"

#include <cstdint>
#include <functional>
#include <span>

class QMenuBar;

namespace brightowl {

// Fills a menu bar from a menu resource: one pop-up per run of rows with the same pop-up text, one
// action per item carrying its command number as data, triggering onCommand with that number.
void BuildMenuBar(QMenuBar& menuBar, std::span<const MenuEntry> menu, const std::function<void(int32_t)>& onCommand);

} // namespace brightowl

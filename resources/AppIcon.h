#pragma once

#include <QIcon>

#include <cstdint>

namespace brightowl {

constexpr int32_t kAppIconId = 106;

// An icon resource with all its pictures (icon 106: 32 x 32 and 16 x 16, 16 colours each);
// a null icon when there is no icon with that id.
QIcon LoadIconResource(int32_t id);

} // namespace brightowl

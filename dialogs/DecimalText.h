#pragma once

#include <cstdint>
#include <string_view>

namespace brightowl {

// Reads a number the way the dialogs read their edits and the standard library's atoi reads text:
// leading white space skipped, an optional sign, then digits up to the first other character; no
// digits give 0. A number beyond the 32-bit range gives the nearest end of the range, where atoi
// would be undefined.
int32_t ReadDecimal(std::string_view text);

} // namespace brightowl

#pragma once

#include <optional>
#include <string>

namespace brightowl {

// Maps a request target to the relative path of a file below "www/": drops the first character
// (normally the slash) or an absolute address's scheme and host, decodes percent escapes, and
// refuses a malformed escape or any path with two consecutive dots. None when refused.
std::optional<std::string> MapRequestPath(const std::string& target);

} // namespace brightowl

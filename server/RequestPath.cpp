#include "server/RequestPath.h"

namespace brightowl {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Where the copy of the target begins: after the first character, or, for an absolute address,
// after the first slash from index 8 on ("http://h/..." has its host's slash there at the earliest).
size_t CopyStart(const std::string& target)
{
    if (target.find("http:") != std::string::npos && target.size() > 8) {
        size_t slash = target.find('/', 8);
        if (slash != std::string::npos)
            return slash + 1;
    }
    return 1;
}

} // namespace

std::optional<std::string> MapRequestPath(const std::string& target)
{
    const size_t n = target.size();
    std::string result = "www/";
    for (size_t i = CopyStart(target); i < n;) {
        if (target[i] != '%') {
            result += target[i];
            ++i;
            continue;
        }
        if (i + 2 >= n)
            return std::nullopt;
        int high = HexValue(target[i + 1]);
        int low = HexValue(target[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        i += 3;
    }
    // A decoded zero byte ends the path there: the file opened is the part before it.
    result.resize(result.find('\0') == std::string::npos ? result.size() : result.find('\0'));
    if (result.find("..") != std::string::npos)
        return std::nullopt;
    return result;
}

} // namespace brightowl

#include "resources/StringTable.h"

namespace brightowl {

const char* LoadResourceString(uint32_t id)
{
    switch (id) {
    case StringId::UsersPane:
        return "0 user(s) connected";
    case StringId::ServerPane:
        return "Server Not Running";
    case StringId::PreviewPane:
        return "Not Previewing";
    default:
        return nullptr;
    }
}

} // namespace brightowl

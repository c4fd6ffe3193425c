#include "dialogs/InterfaceAddresses.h"

namespace brightowl {

std::optional<std::vector<std::string>> InterfaceAddresses::Ipv4Addresses() { return {}; }

} // namespace brightowl

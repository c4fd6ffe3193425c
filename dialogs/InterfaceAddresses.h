#pragma once

#include "dialogs/AddressSource.h"

namespace brightowl {

// The IPv4 addresses of the network interfaces that are up, from getifaddrs: the others in the
// system's order first, loopback last. Stateless.
class InterfaceAddresses : public AddressSource
{
public:
    std::optional<std::vector<std::string>> Ipv4Addresses() override;
};

} // namespace brightowl

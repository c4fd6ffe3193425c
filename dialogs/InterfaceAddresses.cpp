#include "dialogs/InterfaceAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <array>
#include <cstring>
#include <memory>

namespace brightowl {
namespace {

struct FreeInterfaces
{
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

} // namespace

std::optional<std::vector<std::string>> InterfaceAddresses::Ipv4Addresses()
{
    ifaddrs* first = nullptr;
    if (getifaddrs(&first) != 0)
        return std::nullopt;
    const std::unique_ptr<ifaddrs, FreeInterfaces> owner(first);

    std::vector<std::string> addresses;
    std::vector<std::string> loopback;
    for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
            continue;
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        std::array<char, INET_ADDRSTRLEN> text{};
        if (inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) == nullptr)
            continue;
        ((entry->ifa_flags & IFF_LOOPBACK) != 0 ? loopback : addresses).emplace_back(text.data());
    }
    addresses.insert(addresses.end(), loopback.begin(), loopback.end());
    return addresses;
}

} // namespace brightowl

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brightowl {

// This computer's IPv4 addresses in dotted-decimal text, in a fixed order; nothing when they
// cannot be read. User-interface thread only.
class AddressSource
{
public:
    virtual ~AddressSource() = default;
    virtual std::optional<std::vector<std::string>> Ipv4Addresses() = 0;
};

} // namespace brightowl

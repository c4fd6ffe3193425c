#pragma once

#include "app/Settings.h"

#include <ostream>

namespace brightowl {

// Lets tests compare and print whole Settings records.
inline bool operator==(const Settings& a, const Settings& b)
{
    return a.logFlag == b.logFlag && a.driverIndex == b.driverIndex && a.jpegQuality == b.jpegQuality &&
           a.maxClients == b.maxClients && a.port == b.port && a.camUrl == b.camUrl;
}

inline void PrintTo(const Settings& s, std::ostream* os)
{
    *os << "{log " << s.logFlag << ", driver " << s.driverIndex << ", quality " << s.jpegQuality << ", clients "
        << s.maxClients << ", port " << s.port << ", camUrl \"" << s.camUrl << "\"}";
}

} // namespace brightowl

#pragma once

#include <cstdint>
#include <string>

namespace brightowl {

// The six values the user can change, held by MainWindow; ranges are kept by LoadSettings only.
struct Settings
{
    int32_t logFlag = 0;
    uint32_t driverIndex = 0;
    uint32_t jpegQuality = 35;
    uint32_t maxClients = 5;
    uint32_t port = 80;
    std::string camUrl = "/video";
};

} // namespace brightowl

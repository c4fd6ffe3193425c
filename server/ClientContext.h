#pragma once

#include "server/ServerState.h"
#include "server/Socket.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace brightowl {

class CaptureDevice;

// What the ListenThread hands to the ClientThread that serves one connection; from the hand-over
// on it belongs to that thread, the connection with it.
struct ClientContext
{
    ClientContext(int32_t logFlag, CaptureDevice& device, const std::atomic<int32_t>& stop, ServerState& state,
                  Socket connection, std::string path, StreamTuning streamTuning)
        : logConnections(logFlag), captureDevice(device), stopFlag(stop), serverState(state),
          socket(std::move(connection)), camUrl(std::move(path)), tuning(streamTuning)
    {
    }

    int32_t logConnections;
    CaptureDevice& captureDevice;
    const std::atomic<int32_t>& stopFlag;
    ServerState& serverState;
    Socket socket;
    std::string camUrl;
    StreamTuning tuning;
};

} // namespace brightowl

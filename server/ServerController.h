#pragma once

#include "server/Clock.h"
#include "server/ServerState.h"

#include <cstdint>
#include <memory>
#include <string>

namespace brightowl {

class CaptureDevice;
class ListenThread;
class Prompt;

// Starts and stops the HTTP camera server: owns the ServerState and, while the server runs, the
// ListenThread. Every operation runs on the user-interface thread.
class ServerController
{
public:
    // The four values are the settings' log flag, client limit, port and camera path, taken as they
    // are. The prompt shows the server threads' messages; the clock times their sleeps and time-outs.
    ServerController(int32_t logConnections, uint32_t maxClients, uint32_t port, const std::string& camUrl,
                     CaptureDevice& captureDevice, Prompt& prompt, Clock& clock = SystemClock());
    // Stops the server first when it runs.
    ~ServerController();
    ServerController(const ServerController&) = delete;
    ServerController& operator=(const ServerController&) = delete;

    // For connections accepted afterwards.
    void SetLogConnections(int32_t flag);
    // Only 1..99 is taken; anything else is ignored. For the next accepted connection.
    void SetMaxClients(uint32_t count);
    // For the next StartServer.
    void SetPort(uint32_t port);
    // For connections accepted afterwards.
    void SetCamUrl(const std::string& camUrl);

    // 0 on success (also when already running), -1 when frame streaming or the listening thread
    // cannot start.
    int32_t StartServer();
    // Blocks until the listening thread and all its connections have ended; returns 0.
    int32_t StopServer();
    // 1 from a successful StartServer to the StopServer, also after the listener ended by itself.
    int32_t IsRunning() const;
    int32_t GetConnectionCount() const;

    // How camera streams' connections are set up, for connections accepted afterwards.
    void SetStreamTuning(const StreamTuning& tuning);
    StreamTuning GetStreamTuning() const;

    // The port the listener is bound to (useful after asking for port 0), 0 while it is not listening.
    uint32_t GetListeningPort() const;

private:
    ServerState state_;
    CaptureDevice& captureDevice_;
    std::unique_ptr<ListenThread> listenThread_;
    int32_t running_ = 0;
};

} // namespace brightowl

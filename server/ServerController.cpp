#include "server/ServerController.h"

#include "capture/CaptureDevice.h"
#include "server/ListenThread.h"

namespace brightowl {

ServerController::ServerController(int32_t logConnections, uint32_t maxClients, uint32_t port,
                                   const std::string& camUrl, CaptureDevice& captureDevice, Prompt& prompt,
                                   Clock& clock)
    : state_(logConnections, static_cast<int32_t>(maxClients), port, camUrl, captureDevice, prompt, clock),
      captureDevice_(captureDevice)
{
}

ServerController::~ServerController()
{
    if (running_ == 1)
        StopServer();
}

void ServerController::SetLogConnections(int32_t flag)
{
    state_.logConnections.store(flag, std::memory_order_relaxed);
}

void ServerController::SetMaxClients(uint32_t count)
{
    if (count >= 1 && count <= 99)
        state_.maxClients.store(static_cast<int32_t>(count), std::memory_order_relaxed);
}

void ServerController::SetPort(uint32_t port)
{
    state_.port.store(port, std::memory_order_relaxed);
}

void ServerController::SetCamUrl(const std::string& camUrl)
{
    state_.camUrl.Set(camUrl);
}

int32_t ServerController::StartServer()
{
    if (running_ == 1)
        return 0;
    state_.stopFlag.store(0, std::memory_order_relaxed);
    auto listenThread = std::make_unique<ListenThread>(state_);
    if (captureDevice_.StartStreaming() < 0)
        return -1;
    if (!listenThread->Create()) {
        // Streaming must not stay on, or every later start would fail with "already grabbing".
        captureDevice_.StopStreaming();
        return -1;
    }
    listenThread_ = std::move(listenThread);
    running_ = 1;
    listenThread_->Resume();
    return 0;
}

int32_t ServerController::StopServer()
{
    if (running_ == 0)
        return 0;
    state_.stopFlag.store(1, std::memory_order_relaxed);
    bool ended;
    do {
        ended = listenThread_->HasEnded();
        state_.clock.SleepMs(200);
    } while (!ended);
    captureDevice_.StopStreaming();
    listenThread_.reset();
    running_ = 0;
    return 0;
}

int32_t ServerController::IsRunning() const
{
    return running_;
}

int32_t ServerController::GetConnectionCount() const
{
    return state_.connectionCount.load(std::memory_order_relaxed);
}

void ServerController::SetStreamTuning(const StreamTuning& tuning)
{
    std::lock_guard lock(state_.tuningMutex);
    state_.tuning = tuning;
}

StreamTuning ServerController::GetStreamTuning() const
{
    std::lock_guard lock(state_.tuningMutex);
    return state_.tuning;
}

uint32_t ServerController::GetListeningPort() const
{
    return state_.listeningPort.load(std::memory_order_relaxed);
}

} // namespace brightowl

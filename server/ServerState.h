#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace brightowl {

class CaptureDevice;
class Clock;
class Prompt;

// The camera path shared by the user-interface thread (which replaces it) and the ListenThread
// (which copies it for each connection); the lock keeps a copy from ever being torn.
class SharedText
{
public:
    explicit SharedText(std::string text) : text_(std::move(text)) {}

    void Set(const std::string& text)
    {
        std::lock_guard lock(mutex_);
        text_ = text;
    }

    std::string Get() const
    {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;  // guarded by mutex_
};

// How a camera stream's connection is set up; a stream's bytes are the same whatever these are.
struct StreamTuning
{
    // The send buffer (SO_SNDBUF) sized to the largest part so far.
    static constexpr int32_t kSendBufferFitsPart = -1;
    // The kernel's autotuning.
    static constexpr int32_t kSendBufferAutomatic = 0;

    // kSendBufferFitsPart, kSendBufferAutomatic, or a fixed size in bytes. Autotuning lets
    // megabytes of old pictures queue in front of a slow viewer (seconds of delay at 1 MB/s); a
    // buffer that holds about one part keeps each part fresh when it is built, and still takes a
    // whole part in one send.
    int32_t sendBufferBytes = kSendBufferFitsPart;
    // TCP_NODELAY: each of a part's three sends goes out at once, not held back by Nagle's
    // algorithm until the previous segment is acknowledged.
    bool noDelay = false;
    // MSG_MORE on the part and its line end, so that they leave together with the delimiter line.
    // Corked bytes wait out a would-block sleep, so this costs a slow viewer up to 100 ms a part.
    bool coalesce = false;
};

// Settings, flags and counters shared by the ServerController (user-interface thread), the
// ListenThread and every ClientThread. The 32-bit fields are read and written with relaxed order.
struct ServerState
{
    ServerState(int32_t logFlag, int32_t clientLimit, uint32_t portNumber, const std::string& path,
                CaptureDevice& device, Prompt& messagePrompt, Clock& timeSource)
        : logConnections(logFlag), port(portNumber), maxClients(clientLimit), camUrl(path),
          captureDevice(device), prompt(messagePrompt), clock(timeSource)
    {
    }

    std::atomic<int32_t> reapFlag{0};
    std::atomic<int32_t> logConnections;
    std::atomic<uint32_t> port;
    std::atomic<int32_t> maxClients;
    std::atomic<int32_t> connectionCount{0};
    std::atomic<int32_t> stopFlag{0};
    SharedText camUrl;
    CaptureDevice& captureDevice;

    // The platform seams the server threads use.
    Prompt& prompt;
    Clock& clock;

    // The port the listening socket is bound to; 0 while none is.
    std::atomic<uint32_t> listeningPort{0};

    // Copied into each ClientContext when the connection is accepted; guarded by tuningMutex.
    mutable std::mutex tuningMutex;
    StreamTuning tuning;
};

} // namespace brightowl

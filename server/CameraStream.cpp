#include "server/CameraStream.h"

#include "capture/CaptureDevice.h"
#include "server/ClientContext.h"
#include "server/SendAll.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace brightowl {

namespace {

constexpr char kStreamHeaderFormat[] = "HTTP/1.0 200 OK\r\nContent-type: multipart/x-mixed-replace;boundary=%s\r\n";
constexpr char kPartType[] = "Content-Type: image/jpeg\r\n";
constexpr char kLineEnd[] = "\r\n";

int32_t SendText(const char* text, size_t length, ClientContext& context, Clock& clock, bool more = false)
{
    return SendAll(reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(length), context.socket, clock,
                   more);
}

// Builds one part from the newest picture while the frame lock is held, and releases the lock.
// The part's length, or 0 when the slot holds no picture or the buffer cannot grow.
size_t BuildPart(ClientContext& context, std::vector<uint8_t>& sendBuffer)
{
    const int32_t length = context.captureDevice.LockFrame();
    if (length < 1) {
        context.captureDevice.CopyFrameAndUnlock(nullptr);
        return 0;
    }
    const std::string header = PartHeader(length);
    const size_t partLength = header.size() + static_cast<size_t>(length);
    if (partLength > sendBuffer.size()) {
        try {
            sendBuffer.resize(partLength);
        } catch (const std::bad_alloc&) {
            // Without room for the picture the lock is released without a copy and the stream ends.
            context.captureDevice.CopyFrameAndUnlock(nullptr);
            return 0;
        }
    }
    std::memcpy(sendBuffer.data(), header.data(), header.size());
    context.captureDevice.CopyFrameAndUnlock(sendBuffer.data() + header.size());
    return partLength;
}

} // namespace

std::string StreamHeader()
{
    char header[128];
    const int length = std::snprintf(header, sizeof header, kStreamHeaderFormat, kStreamDelimiter);
    return std::string(header, static_cast<size_t>(length));
}

std::string PartHeader(int32_t length)
{
    char lengthLine[48];
    const int lineLength = std::snprintf(lengthLine, sizeof lengthLine, "Content-Length: %d\r\n\r\n", length);
    return std::string(kPartType) + std::string(lengthLine, static_cast<size_t>(lineLength));
}

void SendCameraStream(ClientContext& context, Clock& clock, std::vector<uint8_t>& sendBuffer)
{
    const StreamTuning& tuning = context.tuning;
    if (tuning.sendBufferBytes > 0)
        context.socket.SetSendBufferSize(tuning.sendBufferBytes);
    int32_t socketBuffer = 0;
    if (tuning.noDelay)
        context.socket.SetNoDelay(true);
    const std::string header = StreamHeader();
    if (SendText(header.data(), header.size(), context, clock) == 0)
        return;
    if (SendText(kStreamDelimiter, sizeof kStreamDelimiter - 1, context, clock) == 0)
        return;
    while (context.stopFlag.load(std::memory_order_relaxed) != 1) {
        const size_t partLength = BuildPart(context, sendBuffer);
        if (partLength == 0)
            return;
        if (tuning.sendBufferBytes == StreamTuning::kSendBufferFitsPart &&
            partLength > static_cast<size_t>(socketBuffer)) {
            socketBuffer = static_cast<int32_t>(partLength);
            context.socket.SetSendBufferSize(socketBuffer);
        }
        if (SendAll(sendBuffer.data(), static_cast<uint32_t>(partLength), context.socket, clock, tuning.coalesce) ==
                0 ||
            SendText(kLineEnd, sizeof kLineEnd - 1, context, clock, tuning.coalesce) == 0 ||
            SendText(kStreamDelimiter, sizeof kStreamDelimiter - 1, context, clock) == 0)
            return;
    }
}

} // namespace brightowl

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
    char lengthLine[48];
    const int lineLength = std::snprintf(lengthLine, sizeof lengthLine, "Content-Length: %d\r\n\r\n", length);
    const size_t headerLength = sizeof kPartType - 1 + static_cast<size_t>(lineLength);
    const size_t partLength = headerLength + static_cast<size_t>(length);
    if (partLength > sendBuffer.size()) {
        try {
            sendBuffer.resize(partLength);
        } catch (const std::bad_alloc&) {
            // Without room for the picture the lock is released without a copy and the stream ends.
            context.captureDevice.CopyFrameAndUnlock(nullptr);
            return 0;
        }
    }
    std::memcpy(sendBuffer.data(), kPartType, sizeof kPartType - 1);
    std::memcpy(sendBuffer.data() + sizeof kPartType - 1, lengthLine, static_cast<size_t>(lineLength));
    context.captureDevice.CopyFrameAndUnlock(sendBuffer.data() + headerLength);
    return partLength;
}

} // namespace

void SendCameraStream(ClientContext& context, Clock& clock, std::vector<uint8_t>& sendBuffer)
{
    char header[128];
    const int headerLength = std::snprintf(header, sizeof header, kStreamHeaderFormat, kStreamDelimiter);
    if (SendText(header, static_cast<size_t>(headerLength), context, clock) == 0)
        return;
    if (SendText(kStreamDelimiter, sizeof kStreamDelimiter - 1, context, clock) == 0)
        return;
    while (context.stopFlag.load(std::memory_order_relaxed) != 1) {
        const size_t partLength = BuildPart(context, sendBuffer);
        if (partLength == 0)
            return;
        // The part and its line end go out with MSG_MORE: the three sends leave as full segments,
        // and the delimiter line pushes them out without waiting for an acknowledgement.
        if (SendAll(sendBuffer.data(), static_cast<uint32_t>(partLength), context.socket, clock, true) == 0 ||
            SendText(kLineEnd, sizeof kLineEnd - 1, context, clock, true) == 0 ||
            SendText(kStreamDelimiter, sizeof kStreamDelimiter - 1, context, clock) == 0)
            return;
    }
}

} // namespace brightowl

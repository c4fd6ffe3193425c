#include "server/SendAll.h"

#include "server/Clock.h"
#include "server/ProgressTimer.h"
#include "server/Socket.h"

namespace brightowl {

int32_t SendAll(const uint8_t* data, uint32_t length, Socket& socket, Clock& clock, bool more)
{
    uint32_t sent = 0;
    ProgressTimer progress(clock);
    while (sent < length) {
        if (progress.GiveUp())
            return 0;
        IoResult result = socket.Send(data + sent, length - sent, more);
        if (result.status == IoStatus::WouldBlock) {
            clock.SleepMs(100);
            continue;
        }
        if (result.status != IoStatus::Done)
            return 0;
        progress.Mark();
        sent += static_cast<uint32_t>(result.count);
    }
    return 1;
}

} // namespace brightowl

#include "server/Clock.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace brightowl {

namespace {

class SteadyClock : public Clock
{
public:
    int64_t NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    void SleepMs(int32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    bool WaitReadable(int fd, int32_t milliseconds) override { return PollReadable(fd, milliseconds); }
};

} // namespace

bool PollReadable(int fd, int32_t milliseconds)
{
    pollfd entry{fd, POLLIN, 0};
    int result;
    do {
        result = ::poll(&entry, 1, milliseconds < 0 ? 0 : milliseconds);
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

bool Clock::WaitReadable(int fd, int32_t)
{
    return PollReadable(fd, 0);
}

Clock& SystemClock()
{
    static SteadyClock clock;
    return clock;
}

} // namespace brightowl

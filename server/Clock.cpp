#include "server/Clock.h"

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
};

} // namespace

Clock& SystemClock()
{
    static SteadyClock clock;
    return clock;
}

} // namespace brightowl

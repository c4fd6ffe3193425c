#pragma once

#include "server/Clock.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace brightowl::test {

// Real time running faster by a factor, waits for readability included: the server's intervals and
// time-outs keep their proportions, threads really run and really wait (no core spins), but a
// six-second time-out takes 6 / factor seconds.
class ScaledClock : public Clock
{
public:
    explicit ScaledClock(int64_t factor) : factor_(factor) {}

    int64_t NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() * factor_ / 1000;
    }

    void SleepMs(int32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::microseconds(int64_t{milliseconds} * 1000 / factor_));
    }

    bool WaitReadable(int fd, int32_t milliseconds) override
    {
        const int64_t micros = int64_t{milliseconds < 0 ? 0 : milliseconds} * 1000 / factor_;
        timespec timeout{static_cast<time_t>(micros / 1000000), static_cast<long>(micros % 1000000) * 1000};
        pollfd entry{fd, POLLIN, 0};
        int result;
        do {
            result = ::ppoll(&entry, 1, &timeout, nullptr);
        } while (result < 0 && errno == EINTR);
        return result > 0;
    }

    int64_t Factor() const { return factor_; }

private:
    const int64_t factor_;
};

// How much bigger the load and fault runs are: BRIGHTOWL_RELIABILITY_SCALE (1 in the test suite,
// larger for the long runs of scripts/test-reliability-long.sh).
inline int Scale()
{
    const char* text = std::getenv("BRIGHTOWL_RELIABILITY_SCALE");
    const int scale = text != nullptr ? std::atoi(text) : 1;
    return scale > 0 ? scale : 1;
}

} // namespace brightowl::test

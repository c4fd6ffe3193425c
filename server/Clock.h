#pragma once

#include <cstdint>

namespace brightowl {

// The server's time source and its sleeps: wall-clock milliseconds (steady, never CPU time, so a
// sleeping thread still times out). Tests replace it with a clock they control.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual int64_t NowMs() = 0;

    // Pauses the calling thread for about that many milliseconds.
    virtual void SleepMs(int32_t milliseconds) = 0;
};

// std::chrono::steady_clock and std::this_thread::sleep_for; shared by every thread.
Clock& SystemClock();

} // namespace brightowl

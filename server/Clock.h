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

    // Waits at most that many milliseconds of this clock's time until fd has bytes to read or its
    // peer has closed; true when it has. This default only looks, without waiting, for clocks
    // whose time does not pass by itself.
    virtual bool WaitReadable(int fd, int32_t milliseconds);
};

// poll(2) for readability (bytes or the peer's close) for at most that many real milliseconds.
bool PollReadable(int fd, int32_t milliseconds);

// std::chrono::steady_clock and std::this_thread::sleep_for; shared by every thread.
Clock& SystemClock();

} // namespace brightowl

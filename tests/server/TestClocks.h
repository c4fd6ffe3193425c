#pragma once

#include "server/Clock.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace brightowl::test {

// A clock the test drives: time moves only by sleeps and by a fixed step on every reading (so that
// a loop that polls without sleeping still reaches its time-out). onSleep runs after each sleep.
class ManualClock : public Clock
{
public:
    explicit ManualClock(int64_t stepPerReading = 0) : step_(stepPerReading) {}

    int64_t NowMs() override { return now_.fetch_add(step_) + step_; }

    void SleepMs(int32_t milliseconds) override
    {
        now_.fetch_add(milliseconds);
        sleeps_.fetch_add(1);
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            hook = onSleep_;
        }
        if (hook)
            hook();
    }

    void Advance(int64_t milliseconds) { now_.fetch_add(milliseconds); }
    int64_t Sleeps() const { return sleeps_.load(); }

    void OnSleep(std::function<void()> hook)
    {
        std::lock_guard lock(mutex_);
        onSleep_ = std::move(hook);
    }

private:
    const int64_t step_;
    std::atomic<int64_t> now_{1'000'000};
    std::atomic<int64_t> sleeps_{0};
    std::mutex mutex_;
    std::function<void()> onSleep_;  // guarded by mutex_
};

// Real time running faster by a factor: every interval and time-out of the server keeps its
// proportions, and threads really run, but a six-second time-out takes 6 / factor seconds.
class FastClock : public Clock
{
public:
    explicit FastClock(int64_t factor) : factor_(factor) {}

    int64_t NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() * factor_ / 1000;
    }

    void SleepMs(int32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::microseconds(int64_t{milliseconds} * 1000 / factor_));
    }

private:
    const int64_t factor_;
};

} // namespace brightowl::test

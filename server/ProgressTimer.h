#pragma once

#include "server/Clock.h"

#include <cstdint>

namespace brightowl {

// The no-progress time-out shared by sending and request reading: it fires once more than five
// whole seconds (that is, 6000 ms) have passed since the last progress.
class ProgressTimer
{
public:
    explicit ProgressTimer(Clock& clock) : clock_(clock), mark_(clock.NowMs()) {}

    void Mark() { mark_ = clock_.NowMs(); }

    bool GiveUp() const
    {
        int64_t seconds = (clock_.NowMs() - mark_) / 1000;
        return seconds > 5 || seconds < -5;
    }

    // Milliseconds left until GiveUp turns true, 0 when it already has.
    int32_t RemainingMs() const
    {
        int64_t left = kTimeOutMs - (clock_.NowMs() - mark_);
        return static_cast<int32_t>(left < 0 ? 0 : (left > kTimeOutMs ? kTimeOutMs : left));
    }

private:
    static constexpr int64_t kTimeOutMs = 6000;

    Clock& clock_;
    int64_t mark_;
};

} // namespace brightowl

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

private:
    Clock& clock_;
    int64_t mark_;
};

} // namespace brightowl

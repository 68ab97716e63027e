// WaitTime: a pause that keeps the window's events flowing, measured on a monotonic clock so a
// pause across midnight or a clock change still ends on time.
#pragma once

#include <cstdint>

namespace qh {

class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds from an arbitrary start; never goes back. Differences are taken modulo 2^64,
    // so a wrap of the counter does not upset a pause.
    [[nodiscard]] virtual std::uint64_t NowMicroseconds() = 0;
};

class EventPump {
public:
    virtual ~EventPump() = default;
    // Sleeps until an event arrives or timeoutMs passes, then processes the pending events.
    virtual void WaitAndPump(std::uint32_t timeoutMs) = 0;
};

// Seconds elapsed since start, as a float.
[[nodiscard]] float ElapsedSeconds(Clock& clock, std::uint64_t startMicroseconds);

// Returns once more than delaySeconds have passed, processing events meanwhile; the first test
// comes before any event is processed. A NaN delay counts as 0.
void WaitTime(float delaySeconds, Clock& clock, EventPump& pump);

}  // namespace qh

#include "erase/wait_time.h"

#include <cmath>

namespace qh {

float ElapsedSeconds(Clock& clock, std::uint64_t startMicroseconds)
{
    const std::uint64_t elapsed = clock.NowMicroseconds() - startMicroseconds;  // modulo 2^64
    return static_cast<float>(static_cast<double>(elapsed) / 1e6);
}

void WaitTime(float delaySeconds, Clock& clock, EventPump& pump)
{
    if (std::isnan(delaySeconds)) {
        delaySeconds = 0.0f;
    }
    const std::uint64_t start = clock.NowMicroseconds();
    for (;;) {
        const float elapsed = ElapsedSeconds(clock, start);
        if (elapsed > delaySeconds) {
            return;
        }
        // Sleep no longer than the rest of the pause; at least 1 ms so the loop never spins.
        const double remainingMs = std::ceil((static_cast<double>(delaySeconds) - elapsed) * 1000.0);
        const double boundedMs = remainingMs < 1.0 ? 1.0 : (remainingMs > 0x7FFFFFFF ? 0x7FFFFFFF : remainingMs);
        pump.WaitAndPump(static_cast<std::uint32_t>(boundedMs));
    }
}

}  // namespace qh

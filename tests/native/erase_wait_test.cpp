#include "erase/wait_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace qh {
namespace {

class FakeClock final : public Clock {
public:
    std::uint64_t now = 0;
    std::uint64_t NowMicroseconds() override { return now; }
};

// Each wait lets the clock run for the whole timeout (no event arrives) or for a fixed step.
class FakePump final : public EventPump {
public:
    explicit FakePump(FakeClock& clock) : m_clock(clock) {}
    std::vector<std::uint32_t> timeouts;
    std::uint64_t stepMicroseconds = 0;  // 0: the full timeout

    void WaitAndPump(std::uint32_t timeoutMs) override
    {
        timeouts.push_back(timeoutMs);
        m_clock.now += stepMicroseconds ? stepMicroseconds : std::uint64_t{timeoutMs} * 1000;
        if (timeouts.size() > 100000) {
            throw std::runtime_error("WaitTime does not end");
        }
    }

private:
    FakeClock& m_clock;
};

class WaitTimeTest : public ::testing::Test {
protected:
    FakeClock clock;
    FakePump pump{clock};
    std::uint64_t Elapsed(std::uint64_t start) const { return clock.now - start; }
};

TEST_F(WaitTimeTest, SleepsInsteadOfSpinningAndReturnsJustAfterTheDelay)
{
    WaitTime(0.3f, clock, pump);
    EXPECT_GT(clock.now, 300000u);
    EXPECT_LE(clock.now, 302000u);
    // One wait for the whole pause and at most a tick or two after it: no busy loop.
    ASSERT_FALSE(pump.timeouts.empty());
    EXPECT_GE(pump.timeouts.front(), 300u);
    EXPECT_LE(pump.timeouts.front(), 301u);
    EXPECT_LE(pump.timeouts.size(), 3u);
}

TEST_F(WaitTimeTest, EventsInBetweenShortenEachWaitButNotThePause)
{
    pump.stepMicroseconds = 7000;  // an event every 7 ms
    WaitTime(0.3f, clock, pump);
    EXPECT_GT(clock.now, 300000u);
    EXPECT_LE(clock.now, 307000u);
    EXPECT_GE(pump.timeouts[1], 293u);
    EXPECT_LT(pump.timeouts[1], pump.timeouts[0]);
}

TEST_F(WaitTimeTest, EndsOnTimeAcrossAWrapOfTheClock)
{
    const std::uint64_t start = std::numeric_limits<std::uint64_t>::max() - 100000;  // wraps 0.1 s in
    clock.now = start;
    WaitTime(0.3f, clock, pump);
    EXPECT_LT(clock.now, start) << "the clock did wrap";
    EXPECT_GT(Elapsed(start), 300000u);
    EXPECT_LE(Elapsed(start), 302000u);
}

TEST_F(WaitTimeTest, NoPositiveDelayWaitsAtMostOneTick)
{
    WaitTime(-1.0f, clock, pump);
    EXPECT_TRUE(pump.timeouts.empty()) << "the test comes before the first event processing";
    WaitTime(0.0f, clock, pump);
    EXPECT_EQ(pump.timeouts.size(), 1u);
    pump.timeouts.clear();
    WaitTime(std::nanf(""), clock, pump);
    EXPECT_LE(pump.timeouts.size(), 1u);
}

}  // namespace
}  // namespace qh

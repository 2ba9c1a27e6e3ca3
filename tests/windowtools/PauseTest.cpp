// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTools.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <stdexcept>

namespace {

// A wall clock that starts at a given second of the day and runs with the steady clock,
// wrapping at midnight like the real one. Every pass of the event loop advances time by `tick`.
class FakeClock : public Clock
{
public:
    FakeClock(double wallStart, double tick) : m_wallStart(wallStart), m_tick(tick) { }
    double secondsSinceMidnight() const override
    {
        return std::fmod(m_wallStart + m_steady - SteadyStart, 86400.0);
    }
    double steadySeconds() const override { return m_steady; }
    double waited() const { return m_steady - SteadyStart; }
    int passes() const { return m_passes; }

    // Never asked to sleep past the end of the wait, nor for nothing.
    WindowTools::EventLoopWait pass()
    {
        return [this](double maxSeconds) {
            if (++m_passes > 100000)
                throw std::runtime_error("Pause never returned");
            EXPECT_GT(maxSeconds, 0.0);
            EXPECT_LE(m_steady + maxSeconds, SteadyStart + m_expectedEnd + 1e-9);
            m_steady += std::min(m_tick, maxSeconds);
        };
    }
    void expectEndAfter(double seconds) { m_expectedEnd = seconds; }

private:
    static constexpr double SteadyStart = 5000.0;
    double m_wallStart;
    double m_tick;
    double m_steady = SteadyStart;
    int m_passes = 0;
    double m_expectedEnd = 1e9;
};

struct PauseCase
{
    double clockAtStart;
    int seconds;
    double expectedWait;
};

class PauseWaits : public ::testing::TestWithParam<PauseCase>
{ };

TEST_P(PauseWaits, FromTheRoundedStartingSecond)
{
    const PauseCase c = GetParam();
    FakeClock clock(c.clockAtStart, 0.001);
    clock.expectEndAfter(c.expectedWait);
    int seconds = c.seconds;
    WindowTools::Pause(seconds, clock, clock.pass());
    EXPECT_NEAR(clock.waited(), c.expectedWait, 0.0015);
    EXPECT_EQ(seconds, c.seconds) << "the argument is not changed";
}

INSTANTIATE_TEST_SUITE_P(Rounding, PauseWaits,
    ::testing::Values(PauseCase { 10.4, 2, 1.6 }, // starts at 10, ends at 12
        PauseCase { 10.6, 2, 2.4 },               // starts at 11, ends at 13
        PauseCase { 10.5, 2, 1.5 },               // half to even: 10
        PauseCase { 11.5, 2, 2.5 },               // half to even: 12
        PauseCase { 10.6, 0, 0.4 },               // rounded up: waits for the start itself
        PauseCase { 86399.2, 2, 1.8 },            // starts just before midnight
        PauseCase { 86399.7, 2, 2.3 },            // rounds to midnight itself
        PauseCase { 86398.0, 5, 5.0 }));          // ends after midnight

TEST(Pause, RunsNoEventLoopPassWhenAlreadyDue)
{
    for (const auto &[clockAtStart, seconds] :
        { std::pair { 10.4, 0 }, std::pair { 10.0, 0 }, std::pair { 10.4, -3 } }) {
        FakeClock clock(clockAtStart, 0.01);
        int s = seconds;
        WindowTools::Pause(s, clock, clock.pass());
        EXPECT_EQ(clock.passes(), 0) << "at " << clockAtStart << " for " << seconds;
    }
}

TEST(Pause, RunsTheEventLoopWhileItWaits)
{
    FakeClock clock(100.0, 0.1);
    int seconds = 2;
    WindowTools::Pause(seconds, clock, clock.pass());
    EXPECT_EQ(clock.passes(), 20);
}

// On the real clock and event loop: events are handled while it waits, and the thread sleeps in
// between rather than spinning a core (the greeting is synthesised meanwhile on a 2-core machine).
TEST(Pause, HandlesEventsAndSleepsInBetween)
{
    bool fired = false;
    QTimer::singleShot(100, [&] { fired = true; });
    rusage before {};
    getrusage(RUSAGE_THREAD, &before);
    int seconds = 1;
    WindowTools::Pause(seconds);
    rusage after {};
    getrusage(RUSAGE_THREAD, &after);
    const auto cpuSeconds = [](const rusage &r) {
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec)
            + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    EXPECT_TRUE(fired);
    // A spinning wait burns about as much processor time as it waits: 0.5 to 1.5 s here.
    EXPECT_LT(cpuSeconds(after) - cpuSeconds(before), 0.25);
}

} // namespace

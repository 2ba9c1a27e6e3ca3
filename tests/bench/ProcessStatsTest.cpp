// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessStats.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// This very process, read back through /proc: a named thread that wakes every millisecond shows
// under its name with about as many switches, one that only sleeps shows none, and a busy loop
// shows in the processor time.
TEST(ProcessStats, ReadsThisProcessesThreadsAndProcessorTime)
{
    std::atomic<bool> go { false };
    std::promise<void> finish;
    std::future<void> finished = finish.get_future();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> wakerNamed;
    std::promise<void> sleeperNamed;
    std::thread waker([&] {
        pthread_setname_np(pthread_self(), "bench-waker");
        wakerNamed.set_value();
        while (!go)
            std::this_thread::sleep_for(1ms);
        for (int i = 0; i < 200; ++i)
            std::this_thread::sleep_for(1ms);
        finish.set_value();
        released.wait(); // still there at the second look
    });
    std::thread sleeper([&] {
        pthread_setname_np(pthread_self(), "bench-sleeper");
        sleeperNamed.set_value();
        released.wait();
    });
    wakerNamed.get_future().wait();
    sleeperNamed.get_future().wait();
    const pid_t self = getpid();
    const auto before = processstats::threads(self);
    const double cpuBefore = processstats::cpuSeconds(self);
    const double runBefore = processstats::runSeconds(self);
    go = true;
    // Busy for 0.3 s of its own processor time, however loaded the machine is.
    const double busyFrom = threadSeconds();
    while (threadSeconds() - busyFrom < 0.3) { }
    finished.wait();
    const auto rates = processstats::switchRates(before, processstats::threads(self), 1.0);
    const double cpu = processstats::cpuSeconds(self) - cpuBefore;
    const double run = processstats::runSeconds(self) - runBefore;
    release.set_value();
    waker.join();
    sleeper.join();

    const auto named = [&](const char *name) {
        return std::find_if(
            rates.begin(), rates.end(), [&](const auto &r) { return r.name == name; });
    };
    ASSERT_NE(named("bench-waker"), rates.end());
    ASSERT_NE(named("bench-sleeper"), rates.end());
    EXPECT_GE(named("bench-waker")->perSecond, 190);
    EXPECT_LE(named("bench-waker")->perSecond, 400) << "counted twice";
    // At most the switch into its wait, if that came after the first look.
    EXPECT_LE(named("bench-sleeper")->perSecond, 1);
    EXPECT_GE(cpu, 0.25); // counted in 10 ms ticks
    EXPECT_GE(run, 0.29);
    EXPECT_GT(processstats::rssKiB(self), 1000);
}

} // namespace

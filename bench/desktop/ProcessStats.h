// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// What the kernel counts for a running process, read from /proc.
namespace processstats {

// User plus system time of all its threads (utime + stime of /proc/PID/stat), in seconds; the
// kernel counts it in clock ticks, 10 ms each.
double cpuSeconds(pid_t pid);
// The same to the nanosecond, summed over its live threads (/proc/PID/task/*/schedstat).
double runSeconds(pid_t pid);
// Resident memory (VmRSS), in KiB; -1 when the process is gone.
long rssKiB(pid_t pid);

struct Thread
{
    pid_t tid = 0;
    std::string name;
    long long switches = 0; // voluntary + involuntary context switches so far
};
std::vector<Thread> threads(pid_t pid);

struct ThreadRate
{
    pid_t tid = 0;
    std::string name;
    double perSecond = 0;
};
// Context switches a second of each thread alive at both looks, busiest first.
std::vector<ThreadRate> switchRates(
    const std::vector<Thread> &before, const std::vector<Thread> &after, double seconds);

} // namespace processstats

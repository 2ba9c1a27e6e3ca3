// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessStats.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace processstats {

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The number after `key` on its line of a /proc status file.
long long statusValue(const std::string &status, const std::string &key)
{
    // From the start of a line: "voluntary_ctxt_switches" also ends "nonvoluntary_ctxt_switches".
    const auto at = status.find("\n" + key + ":");
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + key.size() + 2);
}

} // namespace

double cpuSeconds(pid_t pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    // The name in parentheses may hold spaces: count fields from after its closing one.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // Fields 3 to 15 of stat(5): state ... utime (14) stime (15).
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::atoll(field.c_str());
        if (index == 15)
            stime = std::atoll(field.c_str());
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double runSeconds(pid_t pid)
{
    namespace fs = std::filesystem;
    long long nanoseconds = 0;
    std::error_code error;
    for (const auto &task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error))
        nanoseconds += std::atoll(readFile(task.path() / "schedstat").c_str());
    return static_cast<double>(nanoseconds) / 1e9;
}

long rssKiB(pid_t pid)
{
    return static_cast<long>(
        statusValue(readFile("/proc/" + std::to_string(pid) + "/status"), "VmRSS"));
}

std::vector<Thread> threads(pid_t pid)
{
    namespace fs = std::filesystem;
    std::vector<Thread> found;
    std::error_code error;
    for (const auto &task :
        fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        Thread thread;
        thread.tid = static_cast<pid_t>(std::atol(task.path().filename().c_str()));
        thread.name = readFile(task.path() / "comm");
        if (!thread.name.empty() && thread.name.back() == '\n')
            thread.name.pop_back();
        const std::string status = readFile(task.path() / "status");
        thread.switches = statusValue(status, "voluntary_ctxt_switches")
            + statusValue(status, "nonvoluntary_ctxt_switches");
        found.push_back(thread);
    }
    return found;
}

std::vector<ThreadRate> switchRates(
    const std::vector<Thread> &before, const std::vector<Thread> &after, double seconds)
{
    std::vector<ThreadRate> rates;
    for (const Thread &now : after) {
        const auto then = std::find_if(before.begin(), before.end(),
            [&](const Thread &thread) { return thread.tid == now.tid; });
        if (then != before.end())
            rates.push_back({ now.tid, now.name,
                static_cast<double>(now.switches - then->switches) / seconds });
    }
    std::sort(rates.begin(), rates.end(),
        [](const ThreadRate &a, const ThreadRate &b) { return a.perSecond > b.perSecond; });
    return rates;
}

} // namespace processstats

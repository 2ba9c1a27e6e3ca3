// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <vector>

// One process spinning on every core for as long as this lives: a machine with no time to spare.
class BusyLoops
{
public:
    BusyLoops();
    ~BusyLoops();
    BusyLoops(const BusyLoops &) = delete;
    BusyLoops &operator=(const BusyLoops &) = delete;

private:
    std::vector<pid_t> m_pids;
};

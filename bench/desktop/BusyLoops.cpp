// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyLoops.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

BusyLoops::BusyLoops()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            volatile unsigned long spins = 0;
            for (;;)
                spins = spins + 1;
        }
        if (pid > 0)
            m_pids.push_back(pid);
    }
}

BusyLoops::~BusyLoops()
{
    for (const pid_t pid : m_pids) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

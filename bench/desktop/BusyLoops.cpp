// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyLoops.h"

#include "Desktop.h"

#include <algorithm>
#include <thread>

BusyLoops::BusyLoops()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
        auto loop = std::make_unique<QProcess>();
        desktop::endWithThisProcess(*loop);
        loop->start("sh", { "-c", "while :; do :; done" });
        if (loop->waitForStarted())
            m_loops.push_back(std::move(loop));
    }
}

BusyLoops::~BusyLoops()
{
    for (const auto &loop : m_loops)
        desktop::reap(*loop);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>

#include <memory>
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
    std::vector<std::unique_ptr<QProcess>> m_loops;
};

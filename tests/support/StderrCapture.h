// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>

// Collects what the process writes to standard error from construction until take(): the file
// descriptor itself is redirected, so writes from other threads and from C libraries are
// caught too.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // Gives standard error back and returns what was written meanwhile.
    std::string take();

private:
    void restore();

    std::FILE *m_file = nullptr;
    int m_saved = -1;
};

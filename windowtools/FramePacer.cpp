// SPDX-License-Identifier: GPL-3.0-or-later
#include "FramePacer.h"

#include <QGuiApplication>
#include <QScreen>

#include <thread>

std::chrono::microseconds FramePacer::displayFrame()
{
    double hz = 60.0;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const double rate = screen->refreshRate();
        if (rate >= 20.0 && rate <= 500.0)
            hz = rate;
    }
    return std::chrono::microseconds(static_cast<long long>(1e6 / hz));
}

void FramePacer::start()
{
    m_nextFrame = std::chrono::steady_clock::now() + displayFrame();
}

void FramePacer::waitForNextFrame()
{
    std::this_thread::sleep_until(m_nextFrame);
    const auto now = std::chrono::steady_clock::now();
    m_nextFrame = std::max(m_nextFrame, now) + displayFrame();
}

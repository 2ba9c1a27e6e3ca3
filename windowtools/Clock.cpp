// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clock.h"

#include <QTime>

#include <chrono>

namespace {
class SystemClock final : public Clock
{
public:
    double secondsSinceMidnight() const override
    {
        return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    }
    double steadySeconds() const override
    {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
};
}

const Clock &Clock::system()
{
    static const SystemClock clock;
    return clock;
}

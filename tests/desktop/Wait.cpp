// SPDX-License-Identifier: GPL-3.0-or-later
#include "Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace desktop {

bool waitUntil(const std::function<bool()> &condition, int timeoutMs, int stepMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        if (QCoreApplication::instance()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, stepMs);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        const auto left = deadline.remainingTime();
        QThread::msleep(static_cast<unsigned long>(std::clamp<qint64>(left, 0, stepMs)));
    }
    return true;
}

} // namespace desktop

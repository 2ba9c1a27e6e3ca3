// SPDX-License-Identifier: GPL-3.0-or-later
// The floor Vocalo's idle figures are compared with: a bare Qt program whose only work is a
// precise 1 ms timer, as the strip runs one.
#include <QCoreApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTimer timer;
    timer.setInterval(1);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [] {});
    timer.start();
    return app.exec();
}

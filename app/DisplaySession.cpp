// SPDX-License-Identifier: GPL-3.0-or-later
#include "DisplaySession.h"

#include "Application.h"
#include "WindowTools.h"

#include <QGuiApplication>

#include <cstdio>

namespace DisplaySession {

void preferX11()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    // A stale DISPLAY must not stop the program where Wayland would have served.
    qputenv("QT_QPA_PLATFORM",
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? QByteArrayLiteral("xcb")
                                                       : QByteArrayLiteral("xcb;wayland"));
}

void reportPlatformLimits()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    std::fprintf(stderr,
        "vocalo: this Wayland desktop does not let a window keep itself on top, place itself or "
        "slide; start Vocalo without QT_QPA_PLATFORM=wayland to have them through XWayland\n");
}

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt names the broken connection in a warning just before it calls exit(); on Wayland the text
// is all there is to go by.
bool displayLost(QtMsgType type, const QString &message)
{
    if (type != QtWarningMsg && type != QtCriticalMsg && type != QtFatalMsg)
        return false;
    if (WindowTools::displayConnectionBroken())
        return true;
    return message.startsWith(QLatin1String("The Wayland connection broke"))
        || message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

void watchMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (displayLost(type, message)) {
        std::fprintf(stderr, "vocalo: the display went away (%s); ending\n", qPrintable(message));
        Application::endNow(1);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void endWhenTheDisplayGoesAway()
{
    // Asked first on the main thread: a message may come from any thread.
    WindowTools::displayConnectionBroken();
    previousHandler = qInstallMessageHandler(watchMessages);
}

} // namespace DisplaySession

// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "MessageBox.h"

#include <QFont>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

void (*endWork)() = nullptr;
std::once_flag endWorkDone;

// Once, however many ways end the process at the same moment: the later ones wait for it.
void runEndWork()
{
    std::call_once(endWorkDone, [] {
        if (endWork)
            endWork();
    });
}

sigset_t terminationSignals()
{
    sigset_t termination;
    sigemptyset(&termination);
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaddset(&termination, signal);
    return termination;
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName("Vocalo");
    setApplicationVersion("1.0");
    // Matches the installed desktop entry, so shells put the windows under its name and icon.
    setDesktopFileName("org.vocalo.Vocalo");
    setWindowIcon(programIcon());
    installFontSubstitutions();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        reportFatalError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportFatalError(QStringLiteral("Unexpected error"));
    }
}

QIcon Application::programIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/assets/icons/vocalo-%1.png").arg(size), QSize(size, size));
    return icon;
}

void Application::installFontSubstitutions()
{
    QFont::insertSubstitution("OCR A Extended", "OCRA");
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
}

void Application::reportFatalError(const QString &text)
{
    std::fprintf(stderr, "vocalo: %s\n", qPrintable(text));
    MessageBox::show(text, QStringLiteral("Vocalo"));
    endNow(1);
}

void Application::atEnd(void (*cleanUp)())
{
    endWork = cleanUp;
}

void Application::endOnTerminationSignals()
{
    // Blocked here, every thread made later inherits the block, and only this one takes them:
    // the clean-up talks to a sound server, which no signal handler may do.
    const sigset_t termination = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &termination, nullptr);
    std::thread([termination] {
        int signal = 0;
        while (sigwait(&termination, &signal) != 0) { }
        runEndWork();
        std::fflush(stdout);
        std::fflush(stderr);
        std::signal(signal, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &termination, nullptr);
        std::raise(signal);
        std::_Exit(128 + signal);
    }).detach();
}

void Application::endNow(int status)
{
    runEndWork();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

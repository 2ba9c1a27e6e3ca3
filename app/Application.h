// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QIcon>

// The application object. An error that leaves an event handler is reported in a message box
// and ends the process, as nothing in the system traps errors itself.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The program icon in every size the resources hold.
    static QIcon programIcon();

    // Maps the font names the windows ask for onto fonts a Debian desktop has.
    static void installFontSubstitutions();

    // Shows the error's text titled "Vocalo", then ends the process with status 1.
    [[noreturn]] static void reportFatalError(const QString &text);

    // Ends the process at once with the given status: no window is asked, nothing unloads and
    // no speech worker is waited for. Only what `atEnd` named runs first.
    [[noreturn]] static void endNow(int status);

    // Runs when the process ends by any of its own ways (endNow) or by SIGTERM, SIGINT or SIGHUP:
    // for what would outlive the process elsewhere, such as devices on the sound server.
    static void atEnd(void (*cleanUp)());

    // Before the application object and any thread exist: SIGTERM, SIGINT and SIGHUP run the
    // `atEnd` work and then end the process by that signal, as they would have.
    static void endOnTerminationSignals();
};

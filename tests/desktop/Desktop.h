// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MonitorRecorder.h"
#include "Wait.h"

#include <QProcess>
#include <QString>
#include <QStringList>

class QWidget;

#include <cstdint>
#include <optional>
#include <vector>

// Helpers for tests that run inside tests/harness/with-desktop: they look at the real X server
// and sound server the way a user's desktop would, through the usual command-line tools.
namespace desktop {

using WindowId = quint64;

struct CommandResult
{
    int exitCode = -1;
    QString output;
};

// Runs a program to completion and returns its standard output.
CommandResult run(const QString &program, const QStringList &arguments, int timeoutMs = 10000);

// A client window titled exactly `title` that is mapped on the screen (XWindowProbe).
std::optional<WindowId> findWindow(const QString &title, int timeoutMs = 5000);
// Every mapped client window titled exactly `title`, or of WM_CLASS class `resourceClass` (in any
// case), topmost first.
std::vector<WindowId> visibleWindows(const QString &title);
std::vector<WindowId> visibleWindowsOfClass(const QString &resourceClass);

struct WindowGeometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool viewable = false;
};

// Where the X server has the window (xwininfo), frame included for reparented windows.
std::optional<WindowGeometry> geometry(WindowId window);
// Waits until the X server shows the window where Qt has it: the window manager has placed it
// and Qt has heard where.
bool waitUntilPlaced(const QWidget &window, int timeoutMs = 5000);
// The window that has the keyboard focus (0 where none has).
WindowId focusedWindow();
// The atoms of the window's _NET_WM_STATE property (xprop), e.g. "_NET_WM_STATE_ABOVE".
QStringList netWmState(WindowId window);
bool hasNetWmState(WindowId window, const QString &atom);
// The _NET_WM_WINDOW_TYPE atoms of the window.
QStringList windowTypes(WindowId window);

// The process is killed when the test process dies, also when ctest kills it on a time-out, so
// no server or recorder outlives a test run. Call before starting it.
void endWithThisProcess(QProcess &process);
// Ends the process, if it runs, and reaps it: SIGTERM first when it is given `graceMs` to
// finish, then SIGKILL.
void reap(QProcess &process, int graceMs = 0);

// Drives the real pointer and keyboard.
void xdotool(const QStringList &arguments);
// The same for pointer moves and buttons, and returns once this application has handled what
// the X server sent it for them.
void pointer(const QStringList &arguments);

// Presses ("mousedown"), releases ("mouseup") or clicks ("click") the real pointer's left button
// where the pointer is, and returns whether this application has handled the last button event
// of it within the time-out.
bool leftButton(const QString &action, int timeoutMs = 5000);

// Saves a screenshot of the window under build/screenshots/<name>.png and returns the path.
QString screenshot(WindowId window, const QString &name);
// The same for the whole screen: what a compositor drawn into the X server shows, too.
QString screenshotOfScreen(const QString &name);
// A screenshot of the window once it is drawn in full: two shots in a row agree.
QString screenshotWhenDrawn(WindowId window, const QString &name, int timeoutMs = 5000);

// The real vocalo binary of this build, started as a separate process.
class VocaloProcess
{
public:
    VocaloProcess();
    ~VocaloProcess();
    void start(const QStringList &arguments = {});
    bool waitForExit(int timeoutMs);
    int exitCode() const { return m_process.exitCode(); }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    QByteArray standardError() { return m_process.readAllStandardError(); }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace desktop

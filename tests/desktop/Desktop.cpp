// SPDX-License-Identifier: GPL-3.0-or-later
#include "Desktop.h"

#include "XWindowProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QWidget>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>

namespace desktop {

CommandResult run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted(timeoutMs) || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    return result;
}

std::optional<WindowId> findWindow(const QString &title, int timeoutMs)
{
    XWindowProbe probe;
    std::optional<WindowId> found;
    waitUntil([&] { return (found = probe.findViewable(title)).has_value(); }, timeoutMs);
    return found;
}

std::vector<WindowId> visibleWindows(const QString &title)
{
    const auto found = XWindowProbe().viewableTitled(title);
    return { found.begin(), found.end() };
}

std::vector<WindowId> visibleWindowsOfClass(const QString &resourceClass)
{
    const auto found = XWindowProbe().viewableOfClass(resourceClass);
    return { found.begin(), found.end() };
}

std::optional<WindowGeometry> geometry(WindowId window)
{
    const auto result = run("xwininfo", { "-id", QString::number(window) });
    if (result.exitCode != 0)
        return std::nullopt;
    auto field = [&](const QString &name) {
        const QRegularExpression re(QRegularExpression::escape(name) + R"(:\s*(-?\d+))");
        return re.match(result.output).captured(1).toInt();
    };
    WindowGeometry g;
    g.x = field("Absolute upper-left X");
    g.y = field("Absolute upper-left Y");
    g.width = field("Width");
    g.height = field("Height");
    g.viewable = result.output.contains("Map State: IsViewable");
    return g;
}

namespace {

// Counts the button events of one kind the window system delivers to this application.
class ButtonEventCounter : public QObject
{
public:
    explicit ButtonEventCounter(QEvent::Type type) : m_type(type)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ButtonEventCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type && event->spontaneous())
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

} // namespace

bool leftButton(const QString &action, int timeoutMs)
{
    ButtonEventCounter handled(action == QLatin1String("mousedown") ? QEvent::MouseButtonPress
                                                                    : QEvent::MouseButtonRelease);
    xdotool({ action, "1" });
    return waitUntil([&] { return handled.count > 0; }, timeoutMs);
}

WindowId focusedWindow()
{
    return run("xdotool", { "getwindowfocus" }).output.trimmed().toULongLong();
}

bool waitUntilPlaced(const QWidget &window, int timeoutMs)
{
    return waitUntil(
        [&] {
            const auto g = geometry(window.winId());
            return g && g->viewable && QRect(g->x, g->y, g->width, g->height) == window.geometry();
        },
        timeoutMs);
}

static QStringList atomsOf(WindowId window, const QString &property)
{
    const auto result = run("xprop", { "-id", QString::number(window), property });
    const int eq = result.output.indexOf('=');
    if (eq < 0)
        return {};
    QStringList atoms;
    for (const QString &atom : result.output.mid(eq + 1).split(',', Qt::SkipEmptyParts))
        atoms << atom.trimmed();
    return atoms;
}

QStringList netWmState(WindowId window)
{
    return atomsOf(window, "_NET_WM_STATE");
}

bool hasNetWmState(WindowId window, const QString &atom)
{
    return netWmState(window).contains(atom);
}

QStringList windowTypes(WindowId window)
{
    return atomsOf(window, "_NET_WM_WINDOW_TYPE");
}

void xdotool(const QStringList &arguments)
{
    run("xdotool", arguments);
}

void pointer(const QStringList &arguments)
{
    // xdotool's connection is synced as it closes; a move it is not told to follow could still
    // be on its way.
    QStringList command = arguments;
    if (command.value(0) == QLatin1String("mousemove") && !command.contains("--sync"))
        command.insert(1, "--sync");
    xdotool(command);
    // The X server sends a client its events before the reply to a later request: after one
    // round trip on this application's connection, everything the pointer caused is queued here.
    const auto *x11
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11)
        return;
    xcb_connection_t *connection = x11->connection();
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    // Once to read the X events, once more for the window system events they became.
    for (int i = 0; i < 2; ++i)
        QCoreApplication::processEvents();
}

static QString screenshotOf(const QString &window, const QString &name)
{
    const QString folder = QStringLiteral(VOCALO_BINARY_DIR) + "/screenshots";
    QDir().mkpath(folder);
    const QString path = folder + '/' + name + ".png";
    run("import", { "-window", window, path });
    return path;
}

QString screenshot(WindowId window, const QString &name)
{
    return screenshotOf(QString::number(window), name);
}

QString screenshotOfScreen(const QString &name)
{
    return screenshotOf("root", name);
}

QString screenshotWhenDrawn(WindowId window, const QString &name, int timeoutMs)
{
    QString path;
    QImage previous;
    waitUntil(
        [&] {
            path = screenshot(window, name);
            QImage shot(path);
            const bool same = !shot.isNull() && shot == previous;
            previous = std::move(shot);
            return same;
        },
        timeoutMs, 50);
    return path;
}

void endWithThisProcess(QProcess &process)
{
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void reap(QProcess &process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (graceMs > 0) {
        process.terminate();
        if (process.waitForFinished(graceMs))
            return;
    }
    process.kill();
    process.waitForFinished();
}

VocaloProcess::VocaloProcess()
{
    m_process.setProgram(QStringLiteral(VOCALO_BINARY_DIR) + "/vocalo");
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    endWithThisProcess(m_process);
}

VocaloProcess::~VocaloProcess()
{
    reap(m_process);
}

void VocaloProcess::start(const QStringList &arguments)
{
    m_process.setArguments(arguments);
    m_process.start();
    m_process.waitForStarted();
}

bool VocaloProcess::waitForExit(int timeoutMs)
{
    return m_process.waitForFinished(timeoutMs);
}

} // namespace desktop

// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a desktop whose sound server hangs (stopped with SIGSTOP) from before the
// start: nothing the user does may wait for it. The program starts, the strip echoes typing,
// Enter takes the line, and closing the strip ends the program. Time limits catch hangs only.
#include "Desktop.h"
#include "OwnSoundServer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace desktop;

namespace {

QByteArray picture(WindowId window, const QString &name)
{
    QFile file(screenshot(window, name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Types `text` and waits until the window shows something else than before.
bool repaintsOnTyping(WindowId window, const QString &text, const QString &name)
{
    const QByteArray before = picture(window, name + "-before");
    xdotool({ "type", "--delay", "20", text });
    return waitUntil([&] { return picture(window, name) != before; }, 5000);
}

TEST(FrozenSoundServerTest, StartTypingEnterAndCloseNeverWaitForTheServer)
{
    QTemporaryDir dir;
    OwnSoundServer server(dir.path());
    ASSERT_TRUE(server.start());
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    server.freeze();

    VocaloProcess vocalo;
    vocalo.start();
    std::optional<WindowId> strip;
    ASSERT_TRUE(waitUntil(
        [&] {
            strip = findWindow("Vocalo 1.0", 0);
            return strip && geometry(*strip)->viewable;
        },
        20000))
        << "the strip never showed";
    // Typing goes where the window manager has put the focus.
    ASSERT_TRUE(waitUntil([&] { return focusedWindow() == *strip; }))
        << "the strip never got the keyboard";

    EXPECT_TRUE(repaintsOnTyping(*strip, "frozen", "frozen-server-typing"));
    xdotool({ "key", "Return" });
    EXPECT_TRUE(repaintsOnTyping(*strip, "still here", "frozen-server-after-enter"));

    xdotool({ "key", "alt+F4" });
    EXPECT_TRUE(vocalo.waitForExit(5000)) << "the program did not end";
    server.thaw();
}

} // namespace

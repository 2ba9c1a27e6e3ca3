// SPDX-License-Identifier: GPL-3.0-or-later
// The phrase board on a real desktop: what the window manager makes of it and what a click on
// one of its buttons sounds like through the sound server.
#include "Application.h"
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "FormRegistry.h"
#include "QW.h"
#include "SpeechEngineFactory.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <span>

using namespace desktop;

namespace {

// The Motif window manager hints (_MOTIF_WM_HINTS): what decorations and functions a window asks
// its window manager for.
constexpr unsigned MwmFuncMinimize = 0x08, MwmFuncMaximize = 0x10, MwmFuncClose = 0x20;
constexpr unsigned MwmDecorTitle = 0x08, MwmDecorMinimize = 0x20, MwmDecorMaximize = 0x40;

struct MotifHints
{
    unsigned functions = 0;
    unsigned decorations = 0;
};

MotifHints motifHints(WindowId window)
{
    const auto result = run("xprop", { "-id", QString::number(window), "_MOTIF_WM_HINTS" });
    const QStringList fields = result.output.section('=', 1).split(',', Qt::SkipEmptyParts);
    MotifHints hints;
    if (fields.size() >= 3) {
        hints.functions = fields[1].trimmed().toUInt(nullptr, 16);
        hints.decorations = fields[2].trimmed().toUInt(nullptr, 16);
    }
    return hints;
}

class QuickWindowDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Application::installFontSubstitutions();
        FormRegistry::instance().reset();
        FormRegistry::instance().registerForm<QW>(
            [] { return new QW(createSpeechEngine("Vocalo test")); });
    }
    void TearDown() override { FormRegistry::instance().reset(); }

    QW &shownBoard()
    {
        QW &qw = FormRegistry::instance().reach<QW>();
        qw.Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&qw));
        EXPECT_TRUE(waitUntilPlaced(qw));
        return qw;
    }

    // Moves the real pointer onto the button and clicks it, as a person would.
    void click(QW &qw, const char *button)
    {
        auto *widget = qw.findChild<QPushButton *>(button);
        ASSERT_NE(widget, nullptr);
        const QPoint centre = widget->mapToGlobal(widget->rect().center());
        xdotool(
            { "mousemove", "--sync", QString::number(centre.x()), QString::number(centre.y()) });
        ASSERT_TRUE(waitUntil([&] { return widget->underMouse(); }));
        xdotool({ "click", "1" });
    }

    // Records the sink while `act` runs and until it has been quiet for 600 ms after sounding.
    std::vector<int16_t> hear(const std::function<void()> &act)
    {
        MonitorRecorder recorder;
        recorder.start();
        act();
        const bool quiet = waitUntil(
            [&] {
                const auto s = recorder.samplesSoFar();
                const std::size_t tail = audio::SampleRate * 6 / 10;
                return audio::isNonSilent(s) && s.size() > tail
                    && !audio::isNonSilent(std::span<const int16_t>(s).last(tail));
            },
            20000);
        EXPECT_TRUE(quiet) << "nothing was heard, or it never stopped";
        return recorder.stop();
    }
};

TEST_F(QuickWindowDesktop, ShowsAsAKeepAboveToolWindowOfItsFixedSize)
{
    QW &qw = shownBoard();
    const auto id = findWindow("Quick Window!");
    ASSERT_TRUE(id.has_value());
    EXPECT_TRUE(hasNetWmState(*id, "_NET_WM_STATE_ABOVE"))
        << netWmState(*id).join(' ').toStdString();
    EXPECT_TRUE(windowTypes(*id).contains("_NET_WM_WINDOW_TYPE_UTILITY"))
        << windowTypes(*id).join(' ').toStdString();

    const auto where = geometry(*id);
    ASSERT_TRUE(where.has_value());
    EXPECT_TRUE(where->viewable);
    const QSize client = TwipWindow::toPixelRect(0, 0, 4470, 3975).size();
    EXPECT_EQ(where->width, client.width());
    EXPECT_EQ(where->height, client.height());

    // Close box only: the hints ask for a title, a border and the close function, without
    // minimise or maximise. (Openbox draws its own buttons whatever the hints say; window
    // managers that honour the Motif hints draw just the close box.)
    const MotifHints hints = motifHints(*id);
    EXPECT_TRUE(hints.functions & MwmFuncClose);
    EXPECT_FALSE(hints.functions & (MwmFuncMinimize | MwmFuncMaximize));
    EXPECT_TRUE(hints.decorations & MwmDecorTitle);
    EXPECT_FALSE(hints.decorations & (MwmDecorMinimize | MwmDecorMaximize));
    const auto actions = run("xprop", { "-id", QString::number(*id), "_NET_WM_ALLOWED_ACTIONS" });
    EXPECT_FALSE(actions.output.contains("_NET_WM_ACTION_MAXIMIZE"))
        << actions.output.toStdString();

    screenshot(*id, "quick-window");
    // With the window manager's title bar, for a person to look at.
    run("import",
        { "-window", "root", "-crop",
            QString("%1x%2+%3+%4")
                .arg(where->width + 20)
                .arg(where->height + 50)
                .arg(where->x - 10)
                .arg(where->y - 40),
            QStringLiteral(VOCALO_BINARY_DIR) + "/screenshots/quick-window-framed.png" });
    qw.Hide();
}

TEST_F(QuickWindowDesktop, QuickWindowBringsBackABoardTheUserIconified)
{
    QW &qw = shownBoard();
    const auto id = findWindow("Quick Window!");
    ASSERT_TRUE(id.has_value());
    xdotool({ "windowminimize", "--sync", QString::number(*id) });
    ASSERT_TRUE(waitUntil([&] { return !geometry(*id)->viewable; }));
    qw.Show();
    EXPECT_TRUE(waitUntil([&] { return geometry(*id)->viewable; }));
    EXPECT_TRUE(hasNetWmState(*id, "_NET_WM_STATE_ABOVE"));
    qw.Hide();
}

TEST_F(QuickWindowDesktop, ItsCloseBoxUnloadsItAndTheNextReachLoadsItHidden)
{
    QPointer<QW> first = &shownBoard();
    const auto id = findWindow("Quick Window!");
    ASSERT_TRUE(id.has_value());
    const auto where = geometry(*id);
    ASSERT_TRUE(where.has_value());
    // The close box is the rightmost button of the title bar above the client area.
    xdotool({ "mousemove", "--sync", QString::number(where->x + where->width - 9),
        QString::number(where->y - 10) });
    xdotool({ "click", "1" });
    ASSERT_TRUE(waitUntil([&] { return first.isNull(); }));
    EXPECT_FALSE(FormRegistry::instance().isLoaded(FormNames::QW));

    QW &second = FormRegistry::instance().reach<QW>();
    EXPECT_TRUE(second.isHidden());
    second.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    const auto again = findWindow("Quick Window!");
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(waitUntil([&] { return hasNetWmState(*again, "_NET_WM_STATE_ABOVE"); }));
    second.Hide();
}

TEST_F(QuickWindowDesktop, ARealClickSpeaksTheButtonsPhraseNotItsCaption)
{
    QW &qw = shownBoard();
    // "Nature calls!" says a whole sentence; "Yes" says one word.
    const auto sentence = hear([&] { click(qw, "Command17"); });
    const auto word = hear([&] { click(qw, "Command1"); });
    const double sentenceSeconds = audio::nonSilentSpan(sentence).seconds();
    const double wordSeconds = audio::nonSilentSpan(word).seconds();
    std::printf("heard: \"Nature calls!\" %.2f s, \"Yes\" %.2f s\n", sentenceSeconds, wordSeconds);
    EXPECT_GT(sentenceSeconds, 2.0);
    EXPECT_GT(wordSeconds, 0.1);
    EXPECT_LT(wordSeconds, 1.0);
}

TEST_F(QuickWindowDesktop, ASpeedPushedIntoItsSpeechControlIsHeardOnTheNextPhrase)
{
    QW &qw = shownBoard();
    qw.DS().SetSpeed(250);
    const double fast = audio::nonSilentSpan(hear([&] { click(qw, "Command17"); })).seconds();
    qw.DS().SetSpeed(100);
    const double slow = audio::nonSilentSpan(hear([&] { click(qw, "Command17"); })).seconds();
    std::printf("heard: 250 wpm %.2f s, 100 wpm %.2f s\n", fast, slow);
    ASSERT_GT(fast, 0.5);
    EXPECT_NEAR(slow / fast, 2.5, 0.4);
}

} // namespace

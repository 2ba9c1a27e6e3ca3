// SPDX-License-Identifier: GPL-3.0-or-later
// The real program's opening on a real desktop: what the X server shows, what the sound server
// plays and which bells ring, from the first moment of the process to the strip's arrival.
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "TwipWindow.h"
#include "XWindowProbe.h"
#include "XkbBellCounter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

using namespace desktop;

namespace {

// How quickly the splash shows is measured by scripts/bench; here only a hang fails.
constexpr qint64 SplashHangMs = 10000;

const QString IntroTitle = QStringLiteral("Vocalo");
const QString StripTitle = QStringLiteral("Vocalo 1.0");
constexpr int IntroWidth = TwipWindow::toPixels(6090);
constexpr int IntroHeight = TwipWindow::toPixels(4965);

// Follows the splash from the start of the process until the strip shows.
struct Opening
{
    qint64 mappedMs = -1;
    XWindowProbe::WindowId intro = 0;
    XWindowProbe::Place first;
    int leftmostX = 0;
    int rightmostX = 0;
    int highestY = 0;
    int lowestYAfterHighest = 0;
    qint64 firstMoveMs = -1;
    qint64 hiddenMs = -1;
    qint64 stripMs = -1;
    bool stripBeforeHidden = false;
};

// The picture fills the window from its top-left corner and the light label sits on its dark
// bottom right.
void expectShowsThePicture(const QImage &shot)
{
    ASSERT_EQ(shot.size(), QSize(IntroWidth, IntroHeight));
    const QImage picture(QStringLiteral(VOCALO_SOURCE_DIR "/assets/intro.png"));
    const QRect label = TwipWindow::toPixelRect(3480, 4440, 2655, 495);
    qint64 difference = 0;
    qint64 compared = 0;
    int lightInLabel = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor seen = shot.pixelColor(x, y);
            if (label.contains(x, y)) {
                lightInLabel += seen.lightness() > 200;
                continue;
            }
            const QColor drawn = picture.pixelColor(x, y);
            difference += std::abs(seen.red() - drawn.red())
                + std::abs(seen.green() - drawn.green()) + std::abs(seen.blue() - drawn.blue());
            compared += 3;
        }
    }
    EXPECT_LT(static_cast<double>(difference) / compared, 2.0) << "not the picture at (0, 0)";
    EXPECT_GT(lightInLabel, 200) << "no light label text at the bottom right";
}

class IntroDesktopTest : public testing::Test
{
protected:
    // Polls the splash's place every millisecond or so; `during` runs between looks.
    using Watcher = std::function<void(const Opening &, const XWindowProbe::Place &, qint64)>;
    Opening follow(const Watcher &during = {})
    {
        Opening seen;
        QElapsedTimer clock;
        clock.start();
        vocalo.start();
        std::optional<XWindowProbe::WindowId> intro;
        while (!intro && clock.elapsed() < SplashHangMs) {
            intro = probe.findViewable(IntroTitle);
            if (!intro)
                QTest::qSleep(1);
        }
        if (!intro) {
            ADD_FAILURE() << "the splash never showed";
            return seen;
        }
        seen.mappedMs = clock.elapsed();
        seen.intro = *intro;
        seen.first = probe.locate(*intro).value_or(XWindowProbe::Place {});
        seen.leftmostX = seen.rightmostX = seen.first.x;
        seen.highestY = seen.lowestYAfterHighest = seen.first.y;

        probe.watchMoves(*intro);
        // Every move the X server made, also those to a place the window left at once.
        auto takeMoves = [&] {
            for (const QPoint &move : probe.takeMoves()) {
                if (seen.firstMoveMs < 0 && move.y() != seen.first.y)
                    seen.firstMoveMs = clock.elapsed();
                seen.leftmostX = std::min(seen.leftmostX, move.x());
                seen.rightmostX = std::max(seen.rightmostX, move.x());
                if (move.y() < seen.highestY)
                    seen.highestY = seen.lowestYAfterHighest = move.y();
                seen.lowestYAfterHighest = std::max(seen.lowestYAfterHighest, move.y());
            }
        };
        while (clock.elapsed() < 20000) {
            takeMoves();
            const auto place = probe.locate(*intro);
            if (!place)
                break;
            if (!place->viewable) {
                seen.hiddenMs = clock.elapsed();
                break;
            }
            if (probe.findViewable(StripTitle))
                seen.stripBeforeHidden = true;
            if (during)
                during(seen, *place, clock.elapsed());
            QCoreApplication::processEvents();
            QTest::qSleep(1);
        }
        takeMoves();
        while (seen.stripMs < 0 && clock.elapsed() < 30000) {
            if (probe.findViewable(StripTitle))
                seen.stripMs = clock.elapsed();
            else
                QTest::qSleep(5);
        }
        return seen;
    }

    XWindowProbe probe;
    VocaloProcess vocalo;
};

// The splash is on screen, in front and greeting within moments of the start; after the
// pause it leaves the screen upwards, drops through it, hides, and only then the strip comes.
TEST_F(IntroDesktopTest, OpensWithTheSplashSlidingOffAndDownThenTheStrip)
{
    MonitorRecorder recorder;
    recorder.start();
    QStringList types;
    bool above = false;
    bool skipsTaskBar = false;
    QString shot;
    const Opening seen = follow([&](const Opening &sofar, const XWindowProbe::Place &, qint64 ms) {
        // Looked at during the pause, once the first picture is surely painted.
        if (!shot.isEmpty() || ms - sofar.mappedMs < 400)
            return;
        types = windowTypes(sofar.intro);
        above = hasNetWmState(sofar.intro, "_NET_WM_STATE_ABOVE");
        skipsTaskBar = hasNetWmState(sofar.intro, "_NET_WM_STATE_SKIP_TASKBAR");
        shot = screenshot(sofar.intro, "intro-splash");
    });
    const auto heard = recorder.stop();

    ASSERT_GE(seen.mappedMs, 0);
    EXPECT_EQ(seen.first.width, IntroWidth);
    EXPECT_EQ(seen.first.height, IntroHeight);
    EXPECT_NEAR(seen.first.x, (1280 - IntroWidth) / 2, 1);
    EXPECT_NEAR(seen.first.y, (1024 - IntroHeight) / 2, 1);

    EXPECT_TRUE(types.contains("_NET_WM_WINDOW_TYPE_SPLASH")) << types.join(' ').toStdString();
    EXPECT_TRUE(above) << "not kept above other windows";
    EXPECT_TRUE(skipsTaskBar) << "listed in the task bar";
    expectShowsThePicture(QImage(shot));

    // The pause lasts between 1.5 and 2.5 seconds.
    ASSERT_GT(seen.firstMoveMs, 0);
    EXPECT_GE(seen.firstMoveMs - seen.mappedMs, 1400);
    EXPECT_LE(seen.firstMoveMs - seen.mappedMs, 2700);

    // Really above the screen, not clamped to it by the window manager: past minus its width.
    EXPECT_LT(seen.highestY, -IntroWidth);
    EXPECT_GT(seen.lowestYAfterHighest, TwipWindow::toPixels(7200));
    EXPECT_EQ(seen.leftmostX, seen.first.x);
    EXPECT_EQ(seen.rightmostX, seen.first.x);

    EXPECT_GT(seen.hiddenMs, seen.firstMoveMs);
    EXPECT_FALSE(seen.stripBeforeHidden) << "the strip showed while the splash was still up";
    ASSERT_GT(seen.stripMs, 0) << "the strip never showed";
    EXPECT_GE(seen.stripMs, seen.hiddenMs);

    // The greeting, alone before the splash hides, in the intro's own low voice.
    const std::size_t untilHidden = std::min(
        heard.size(), static_cast<std::size_t>(seen.hiddenMs * audio::SampleRate / 1000));
    const auto greeting = std::span<const int16_t>(heard).first(untilHidden);
    const audio::SoundSpan span = audio::nonSilentSpan(greeting);
    ASSERT_TRUE(span.found) << "no greeting heard";
    // The recording started before the process, so its clock runs ahead of `seen`'s: a greeting
    // that starts before the first move on it surely started while the splash waited.
    EXPECT_LT(span.startSeconds() * 1000, seen.firstMoveMs) << "greeted only once moving";
    EXPECT_GT(span.seconds(), 0.8);
    EXPECT_LT(span.seconds(), 2.5);
    EXPECT_NEAR(audio::medianF0(greeting.subspan(span.first, span.last - span.first)), 85, 10);
}

// Each click on the picture rings the bell once, while the splash waits and while it slides;
// the label takes no clicks; the opening goes on undisturbed and ends with the strip.
TEST_F(IntroDesktopTest, EveryClickOnThePictureBellsOnceAndTheOpeningGoesOn)
{
    XkbBellCounter bells;
    ASSERT_TRUE(bells.listening()) << "the display has no XKB";
    enum class Step { Pause, Up, Down, Done };
    Step step = Step::Pause;
    int expected = 0;
    std::vector<int> countsAfterPauseClicks;

    const Opening seen
        = follow([&](const Opening &sofar, const XWindowProbe::Place &place, qint64 ms) {
              const int left = sofar.first.x;
              const int top = sofar.first.y;
              // The point the slides carry the picture across: near the top of the screen.
              const QStringList aboveSlidePath = { QString::number(left + 100), "60" };
              switch (step) {
              case Step::Pause:
                  if (ms - sofar.mappedMs < 300)
                      return;
                  xdotool({ "mousemove", QString::number(left + 100), QString::number(top + 100),
                      "click", "1" });
                  waitUntil([&] { return bells.count() >= 1; }, 1000);
                  countsAfterPauseClicks.push_back(bells.count());
                  // On the label: no bell.
                  xdotool({ "mousemove", QString::number(left + 300), QString::number(top + 310),
                      "click", "1" });
                  QTest::qWait(300);
                  countsAfterPauseClicks.push_back(bells.count());
                  // A double click is two clicks.
                  xdotool({ "mousemove", QString::number(left + 100), QString::number(top + 100),
                      "click", "--repeat", "2", "--delay", "60", "1" });
                  waitUntil([&] { return bells.count() >= 3; }, 1000);
                  countsAfterPauseClicks.push_back(bells.count());
                  xdotool(QStringList { "mousemove" } + aboveSlidePath);
                  expected = 3;
                  step = Step::Up;
                  return;
              case Step::Up:
                  if (place.y <= 20 && place.y >= -200) {
                      xdotool({ "click", "1" });
                      ++expected;
                      step = Step::Down;
                  }
                  return;
              case Step::Down:
                  if (sofar.highestY < -IntroWidth && place.y >= -200 && place.y <= 20) {
                      xdotool({ "click", "1" });
                      ++expected;
                      step = Step::Done;
                  }
                  return;
              case Step::Done:
                  return;
              }
          });

    EXPECT_EQ(countsAfterPauseClicks, (std::vector<int> { 1, 1, 3 }));
    EXPECT_EQ(step, Step::Done) << "did not get to click during both slides";
    EXPECT_EQ(expected, 5);
    waitUntil([&] { return bells.count() >= expected; }, 2000);
    QTest::qWait(300);
    EXPECT_EQ(bells.count(), expected);

    // Undisturbed: the whole way up and down, then the strip.
    EXPECT_LT(seen.highestY, -IntroWidth);
    EXPECT_GT(seen.lowestYAfterHighest, TwipWindow::toPixels(7200));
    EXPECT_FALSE(seen.stripBeforeHidden);
    EXPECT_GT(seen.stripMs, 0) << "the strip never showed";
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Forced onto Wayland, the strip still follows the user's hand: dragged by its grip it moves with
// the pointer, a plain click on the grip leaves it where it is, a line typed on the real keyboard
// is spoken, and the menu's Exit ends the program cleanly. Weston runs drawn into an Xvfb
// (VOCALO_TEST_DESKTOP=weston-x11), so xdotool's pointer and keyboard reach it. No X11 tool can
// see a Wayland window: the test finds the strip on screenshots of the screen by its look. This
// test process itself runs offscreen.
#include "AudioAnalysis.h"
#include "Desktop.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace desktop;

namespace {

constexpr int StartTimeoutMs = 20000;

bool isBlack(const QImage &image, int x, int y)
{
    return (image.pixel(x, y) & 0xffffff) == 0;
}

bool isWhite(const QImage &image, int x, int y)
{
    return (image.pixel(x, y) & 0xffffff) == 0xffffff;
}

bool blackColumn(const QImage &image, int x, int top, int bottom)
{
    for (int y = top; y <= bottom; ++y) {
        if (!isBlack(image, x, y))
            return false;
    }
    return true;
}

bool blackRow(const QImage &image, int y, int left, int right)
{
    for (int x = left; x <= right; ++x) {
        if (!isBlack(image, x, y))
            return false;
    }
    return true;
}

// The strip's top band seen from outside: two corner boxes outlined in black, white inside, at
// its two ends. The text box overlaps each box's inner edge, so only the outer edge of each is
// black from top to bottom. Below the band the grip's outer edge may run on: the left line of
// the options panel.
std::optional<QRect> findStrip(const QImage &image)
{
    constexpr int MinBox = 5;
    constexpr int MaxBox = 30;
    for (int top = 0; top + MinBox < image.height(); ++top) {
        for (int left = 0; left < image.width(); ++left) {
            if (!isBlack(image, left, top))
                continue;
            int boxRight = left;
            while (boxRight + 1 < image.width() && isBlack(image, boxRight + 1, top))
                ++boxRight;
            const int boxWidth = boxRight - left + 1;
            if (boxWidth < MinBox || boxWidth > MaxBox || !isWhite(image, left + 1, top + 1)) {
                left = boxRight;
                continue;
            }
            int bottom = top + MinBox;
            while (bottom < std::min(image.height(), top + MaxBox * 3)
                && !blackRow(image, bottom, left, boxRight))
                ++bottom;
            if (bottom >= image.height() || !blackColumn(image, left, top, bottom)
                || !blackRow(image, bottom, left, boxRight)) {
                left = boxRight;
                continue;
            }
            // The menu corner: the same box at the same height, its right edge black throughout.
            for (int right = boxRight + 100; right < image.width(); ++right) {
                const int menuLeft = right - boxWidth + 1;
                if (blackColumn(image, right, top, bottom) && blackRow(image, top, menuLeft, right)
                    && blackRow(image, bottom, menuLeft, right)
                    && isWhite(image, right - 1, top + 1))
                    return QRect(QPoint(left, top), QPoint(right, bottom));
            }
            left = boxRight;
        }
    }
    return std::nullopt;
}

// Where two screenshots differ near the pointer, apart from the areas left out (the pointer, a
// blinking caret).
std::optional<QRect> changedNear(
    const QImage &before, const QImage &after, QPoint point, const QList<QRect> &leftOut)
{
    const QRect area = QRect(point - QPoint(300, 300), QSize(600, 600)).intersected(before.rect());
    QRect changed;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)
                && std::none_of(leftOut.begin(), leftOut.end(),
                    [&](const QRect &rect) { return rect.contains(x, y); }))
                changed |= QRect(x, y, 1, 1);
        }
    }
    if (changed.width() < 60 || changed.height() < 60)
        return std::nullopt;
    return changed;
}

class WaylandInput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(qEnvironmentVariable("XDG_SESSION_TYPE"), "wayland");
        const QStringList output = qEnvironmentVariable("VOCALO_TEST_WESTON_OUTPUT").split('x');
        ASSERT_EQ(output.size(), 2) << "not Weston drawn into an X server";
        m_output = QSize(output[0].toInt(), output[1].toInt());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "wayland");
        // The program must not fall back to the X server the pointer is driven through.
        environment.remove("DISPLAY");
        m_vocalo.process().setProcessEnvironment(environment);
        m_vocalo.start();
    }

    void TearDown() override
    {
        m_errors += QString::fromUtf8(m_vocalo.standardError());
        std::printf("vocalo's standard error:\n%s", qPrintable(m_errors));
        // Only the one line that names what this desktop does not allow: nothing from Qt or
        // the compositor.
        const QStringList lines = m_errors.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 1);
        for (const QString &line : lines) {
            EXPECT_TRUE(line.startsWith("vocalo: this Wayland desktop does not let"))
                << "unexpected: " << line.toStdString();
        }
    }

    // What Weston shows, with its pointer parked in its far corner, where it hides nothing.
    QImage screen(const QString &name)
    {
        park();
        return QImage(screenshotOfScreen(name)).copy(QRect(QPoint(0, 0), m_output));
    }

    // Weston keeps drawing its pointer where it last was, and learns where the pointer is only
    // when it comes into its window: in through the far corner, out below, and from there in
    // again wherever the test moves it next.
    void park()
    {
        const QPoint corner(m_output.width() - 1, m_output.height() - 1);
        for (const QPoint &point : { corner + QPoint(0, 20), corner, corner + QPoint(0, 20) })
            moveTo(point);
    }

    // Waits until the strip is shown and has stayed in one place for half a second.
    std::optional<QRect> settledStrip(const QString &name)
    {
        std::optional<QRect> last;
        QElapsedTimer still;
        std::optional<QRect> settled;
        waitUntil(
            [&] {
                const std::optional<QRect> now = findStrip(screen(name));
                if (!now || now != last) {
                    last = now;
                    still.start();
                    return false;
                }
                if (still.elapsed() < 500)
                    return false;
                settled = now;
                return true;
            },
            StartTimeoutMs);
        return settled;
    }

    void moveTo(QPoint point)
    {
        xdotool({ "mousemove", QString::number(point.x()), QString::number(point.y()) });
        QTest::qWait(50);
    }

    // A drag of `by` towards the middle of the screen, so the window stays in view.
    QPoint towardsMiddle(const QRect &window, QPoint by) const
    {
        return QPoint(window.center().x() < m_output.width() / 2 ? by.x() : -by.x(),
            window.center().y() < m_output.height() / 2 ? by.y() : -by.y());
    }

    // Presses the button at `from`, moves the pointer by `by` in steps and lets go.
    void drag(QPoint from, QPoint by)
    {
        moveTo(from);
        xdotool({ "mousedown", "1" });
        QTest::qWait(100);
        constexpr int Steps = 10;
        for (int step = 1; step <= Steps; ++step)
            moveTo(from + by * step / Steps);
        xdotool({ "mouseup", "1" });
    }

    // Clicks the strip's menu corner and returns where the menu came up.
    std::optional<QRect> openMenu(const QRect &strip, const QString &name)
    {
        const QImage before = screen(name + "-before");
        const QPoint corner(strip.right() - 3, strip.center().y());
        moveTo(corner);
        xdotool({ "click", "1" });
        std::optional<QRect> menu;
        waitUntil(
            [&] {
                QTest::qWait(100);
                const QImage now = QImage(screenshotOfScreen(name)).copy(before.rect());
                // The pointer left its parking place for the corner.
                const QRect parked(m_output.width() - 40, m_output.height() - 40, 40, 40);
                menu = changedNear(before, now, corner,
                    { strip.adjusted(-2, -2, 2, 2), QRect(corner, QSize(24, 32)), parked });
                return menu.has_value();
            },
            StartTimeoutMs);
        if (menu)
            std::printf(
                "menu at %d,%d, %dx%d\n", menu->x(), menu->y(), menu->width(), menu->height());
        return menu;
    }

    VocaloProcess m_vocalo;
    QString m_errors;
    QSize m_output;
};

TEST_F(WaylandInput, TheStripFollowsADragByItsGripAndStaysAfterAPlainClick)
{
    const std::optional<QRect> start = settledStrip("wayland-strip-start");
    ASSERT_TRUE(start) << "no strip seen on the screen";
    std::printf("strip at %d,%d, %dx%d\n", start->x(), start->y(), start->width(), start->height());
    ASSERT_TRUE(m_vocalo.running());

    const QPoint by = towardsMiddle(*start, QPoint(150, 100));
    drag(QPoint(start->left() + 3, start->center().y()), by);

    const std::optional<QRect> dropped = settledStrip("wayland-strip-dragged");
    ASSERT_TRUE(dropped) << "the strip is gone after the drag";
    std::printf("dragged by %d,%d; moved by %d,%d\n", by.x(), by.y(), dropped->x() - start->x(),
        dropped->y() - start->y());
    EXPECT_EQ(dropped->size(), start->size());
    EXPECT_LE((dropped->topLeft() - (start->topLeft() + by)).manhattanLength(), 4)
        << "moved by " << dropped->x() - start->x() << "," << dropped->y() - start->y();

    // A press and release without a move must not leave the strip hanging on the pointer.
    moveTo(QPoint(dropped->left() + 3, dropped->center().y()));
    xdotool({ "click", "1" });
    QTest::qWait(200);
    moveTo(QPoint(dropped->left() + 3, dropped->center().y()) + QPoint(80, 60));
    moveTo(QPoint(dropped->left() + 3, dropped->center().y()) + QPoint(160, 120));
    const std::optional<QRect> clicked = settledStrip("wayland-strip-clicked");
    ASSERT_TRUE(clicked);
    EXPECT_EQ(*clicked, *dropped) << "a plain click moved the strip";
    EXPECT_TRUE(m_vocalo.running());
}

TEST_F(WaylandInput, ALineTypedIntoTheStripIsSpoken)
{
    MonitorRecorder recorder;
    recorder.start();
    const std::optional<QRect> strip = settledStrip("wayland-typing-strip");
    ASSERT_TRUE(strip) << "no strip seen on the screen";
    // The greeting first: from here on, all that is heard is the typed line.
    std::size_t quietFrom = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::vector<int16_t> samples = recorder.samplesSoFar();
            const audio::SoundSpan span = audio::nonSilentSpan(samples);
            quietFrom = samples.size();
            return samples.size() > std::size_t(audio::SampleRate)
                && (!span.found || samples.size() - span.last > std::size_t(audio::SampleRate));
        },
        StartTimeoutMs))
        << "the greeting did not end";

    moveTo(strip->center());
    xdotool({ "click", "1" });
    xdotool({ "type", "--delay", "20", "hello there" });
    // The pointer stays in Weston's window, away from the strip: outside it the keys would go
    // elsewhere.
    const int below = strip->bottom() + 150 < m_output.height() ? 150 : -150;
    moveTo(strip->center() + QPoint(0, below));
    const QImage typed
        = QImage(screenshotOfScreen("wayland-typing-typed")).copy(QRect(QPoint(0, 0), m_output));
    xdotool({ "key", "Return" });
    const bool heard = waitUntil(
        [&] {
            const std::vector<int16_t> samples = recorder.samplesSoFar();
            if (samples.size() <= quietFrom)
                return false;
            return audio::nonSilentSpan(std::span(samples).subspan(quietFrom)).seconds() > 0.3;
        },
        StartTimeoutMs);
    EXPECT_TRUE(heard) << "nothing heard after Enter";
    // What was typed showed in the text box, and Enter cleared it.
    const QRect text = strip->adjusted(20, 3, -20, -3);
    auto inkIn = [&](const QImage &image) {
        int ink = 0;
        for (int y = text.top(); y <= text.bottom(); ++y) {
            for (int x = text.left(); x <= text.right(); ++x)
                // Typed letters are black; a word offered on the emptied line is dimmed.
                ink += qGray(image.pixel(x, y)) < 100;
        }
        return ink;
    };
    EXPECT_GT(inkIn(typed), 50) << "no text seen in the box";
    EXPECT_TRUE(waitUntil([&] { return inkIn(screen("wayland-typing-spoken")) < 10; }))
        << "the box was not cleared";
}

TEST_F(WaylandInput, OptionsOpenThePanelWhoseBareSurfaceDragsTheWindow)
{
    const std::optional<QRect> strip = settledStrip("wayland-options-strip");
    ASSERT_TRUE(strip) << "no strip seen on the screen";
    const std::optional<QRect> menu = openMenu(*strip, "wayland-options-menu");
    ASSERT_TRUE(menu) << "no menu came up at the menu corner";
    // Options is the menu's first item.
    moveTo(QPoint(menu->left() + menu->width() / 3, menu->top() + 10));
    xdotool({ "click", "1" });

    // The panel hangs below the top band: white, framed by a line down the left edge. Its left
    // margin, beside the labels, is bare surface.
    const int panelDepth = 150;
    auto panelBelow = [&](const QImage &image, const QRect &band) {
        return band.bottom() + panelDepth < image.height()
            && blackColumn(image, band.left(), band.top(), band.bottom() + panelDepth)
            && isWhite(image, band.left() + 15, band.bottom() + panelDepth / 2);
    };
    std::optional<QRect> start;
    ASSERT_TRUE(waitUntil(
        [&] {
            const QImage image = screen("wayland-options-open");
            start = findStrip(image);
            return start && panelBelow(image, *start);
        },
        StartTimeoutMs))
        << "no options panel seen below the strip";
    EXPECT_EQ(start->size(), strip->size()) << "the top band changed";

    const QPoint by = towardsMiddle(*start, QPoint(150, 100));
    drag(QPoint(start->left() + 15, start->bottom() + panelDepth / 2), by);
    std::optional<QRect> dropped;
    QImage image;
    EXPECT_TRUE(waitUntil(
        [&] {
            image = screen("wayland-options-dragged");
            dropped = findStrip(image);
            return dropped && *dropped != *start;
        },
        StartTimeoutMs))
        << "the window did not move";
    ASSERT_TRUE(dropped) << "the window is gone after the drag";
    std::printf("dragged by %d,%d; moved by %d,%d\n", by.x(), by.y(), dropped->x() - start->x(),
        dropped->y() - start->y());
    EXPECT_LE((dropped->topLeft() - (start->topLeft() + by)).manhattanLength(), 4);
    EXPECT_TRUE(panelBelow(image, *dropped)) << "the panel did not come along";
}

TEST_F(WaylandInput, ExitFromTheMenuEndsTheProgramWithStatusZero)
{
    const std::optional<QRect> strip = settledStrip("wayland-menu-strip");
    ASSERT_TRUE(strip) << "no strip seen on the screen";
    const std::optional<QRect> menu = openMenu(*strip, "wayland-menu-open");
    ASSERT_TRUE(menu) << "no menu came up at the menu corner";

    // Exit is the menu's last item.
    moveTo(QPoint(menu->left() + menu->width() / 3, menu->bottom() - 11));
    QElapsedTimer sinceClick;
    sinceClick.start();
    xdotool({ "click", "1" });
    // Only a hang is bounded here; the time is printed.
    ASSERT_TRUE(m_vocalo.waitForExit(10000)) << "still running after Exit";
    std::printf(
        "ended %lld ms after the click on Exit\n", static_cast<long long>(sinceClick.elapsed()));
    EXPECT_EQ(m_vocalo.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_vocalo.exitCode(), 0);
    const std::optional<QRect> after = findStrip(screen("wayland-menu-exited"));
    EXPECT_FALSE(after) << "the strip is still on the screen";
}

} // namespace

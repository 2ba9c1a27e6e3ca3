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

// The strip seen from outside: a white band between its two corner boxes, each outlined in
// black. The text box overlaps each box's inner edge, so only the outer edge of each is black
// from top to bottom.
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
            if (boxWidth < MinBox || boxWidth > MaxBox) {
                left = boxRight;
                continue;
            }
            int bottom = top;
            while (bottom + 1 < image.height() && isBlack(image, left, bottom + 1))
                ++bottom;
            if (bottom - top + 1 < MinBox || bottom - top + 1 > MaxBox * 3
                || !isBlack(image, boxRight, bottom) || !isWhite(image, left + 1, top + 1)) {
                left = boxRight;
                continue;
            }
            // The menu corner: the same box at the same height, its right edge black throughout.
            const int middle = (top + bottom) / 2;
            for (int right = boxRight + 100; right < image.width(); ++right) {
                if (!blackColumn(image, right, top, bottom)
                    || !isBlack(image, right - boxWidth + 1, top)
                    || !isBlack(image, right - boxWidth + 1, bottom))
                    continue;
                int white = 0;
                for (int x = boxRight; x <= right - boxWidth; ++x)
                    white += isWhite(image, x, middle);
                if (white * 10 >= (right - boxWidth - boxRight) * 8)
                    return QRect(QPoint(left, top), QPoint(right, bottom));
            }
            left = boxRight;
        }
    }
    return std::nullopt;
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

    // Towards the middle of the screen, so the strip stays in view.
    const QPoint drag(
        start->center().x() < 640 ? 150 : -150, start->center().y() < 512 ? 100 : -100);
    const QPoint grip(start->left() + 3, start->center().y());
    moveTo(grip);
    xdotool({ "mousedown", "1" });
    QTest::qWait(100);
    constexpr int Steps = 10;
    for (int step = 1; step <= Steps; ++step)
        moveTo(grip + drag * step / Steps);
    xdotool({ "mouseup", "1" });

    const std::optional<QRect> dropped = settledStrip("wayland-strip-dragged");
    ASSERT_TRUE(dropped) << "the strip is gone after the drag";
    std::printf("dragged by %d,%d; moved by %d,%d\n", drag.x(), drag.y(), dropped->x() - start->x(),
        dropped->y() - start->y());
    EXPECT_EQ(dropped->size(), start->size());
    EXPECT_LE((dropped->topLeft() - (start->topLeft() + drag)).manhattanLength(), 4)
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
                ink += qGray(image.pixel(x, y)) < 128;
        }
        return ink;
    };
    EXPECT_GT(inkIn(typed), 50) << "no text seen in the box";
    EXPECT_TRUE(waitUntil([&] { return inkIn(screen("wayland-typing-spoken")) < 10; }))
        << "the box was not cleared";
}

// Where two screenshots differ near the pointer, apart from the pointer itself and the area left
// out (a blinking caret).
std::optional<QRect> changedNear(
    const QImage &before, const QImage &after, QPoint point, const QRect &leftOut)
{
    const QRect pointer(point, QSize(24, 32));
    const QRect area = QRect(point - QPoint(300, 300), QSize(600, 600)).intersected(before.rect());
    QRect changed;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!leftOut.contains(x, y) && !pointer.contains(x, y)
                && before.pixel(x, y) != after.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
        }
    }
    if (changed.width() < 60 || changed.height() < 60)
        return std::nullopt;
    return changed;
}

TEST_F(WaylandInput, ExitFromTheMenuEndsTheProgramWithStatusZero)
{
    const std::optional<QRect> strip = settledStrip("wayland-menu-strip");
    ASSERT_TRUE(strip) << "no strip seen on the screen";
    const QImage before = screen("wayland-menu-before");

    const QPoint corner(strip->right() - 3, strip->center().y());
    moveTo(corner);
    xdotool({ "click", "1" });
    std::optional<QRect> menu;
    waitUntil(
        [&] {
            QTest::qWait(100);
            const QImage now = QImage(screenshotOfScreen("wayland-menu-open")).copy(before.rect());
            menu = changedNear(before, now, corner, strip->adjusted(-2, -2, 2, 2));
            return menu.has_value();
        },
        StartTimeoutMs);
    ASSERT_TRUE(menu) << "no menu came up at the menu corner";
    std::printf("menu at %d,%d, %dx%d\n", menu->x(), menu->y(), menu->width(), menu->height());

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

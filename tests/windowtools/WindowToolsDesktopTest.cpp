// SPDX-License-Identifier: GPL-3.0-or-later
#include "Desktop.h"
#include "DraggableWindow.h"
#include "UnmapCounter.h"
#include "WindowTools.h"
#include "XWindowProbe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace desktop;

namespace {

TEST(MakeTopmost, SetsKeepAboveOnAMappedWindowWithoutUnmappingIt)
{
    DraggableWindow widget;
    widget.move(300, 200);
    showAndWait(widget);
    const WindowId id = widget.winId();
    const auto before = geometry(id);
    ASSERT_TRUE(before && before->viewable);
    EXPECT_FALSE(hasNetWmState(id, "_NET_WM_STATE_ABOVE"));

    UnmapCounter unmaps(id);
    WindowTools::MakeTopmost(widget.twips);
    EXPECT_TRUE(waitUntil([&] { return hasNetWmState(id, "_NET_WM_STATE_ABOVE"); }));
    QTest::qWait(100);
    EXPECT_EQ(unmaps.count(), 0);
    EXPECT_EQ(widget.winId(), id) << "no new native window";
    const auto after = geometry(id);
    ASSERT_TRUE(after);
    EXPECT_TRUE(after->viewable);
    EXPECT_EQ(after->x, before->x);
    EXPECT_EQ(after->y, before->y);
    EXPECT_TRUE(widget.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    WindowTools::MakeNotTopmost(widget.twips);
    EXPECT_TRUE(waitUntil([&] { return !hasNetWmState(id, "_NET_WM_STATE_ABOVE"); }));
    QTest::qWait(100);
    EXPECT_EQ(unmaps.count(), 0);
    EXPECT_TRUE(geometry(id)->viewable);
    EXPECT_FALSE(widget.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(MakeTopmost, LeavesAHiddenWindowHiddenAndTopmostWhenShown)
{
    DraggableWindow widget;
    WindowTools::MakeTopmost(widget.twips);
    QTest::qWait(100);
    EXPECT_FALSE(widget.isVisible());
    EXPECT_FALSE(geometry(widget.winId())->viewable);

    showAndWait(widget);
    EXPECT_TRUE(waitUntil([&] { return hasNetWmState(widget.winId(), "_NET_WM_STATE_ABOVE"); }))
        << netWmState(widget.winId()).join(' ').toStdString() << " flags "
        << widget.windowHandle()->flags().toInt();
}

TEST(Slide, MovesTheXWindowThroughItsStepsOneFrameApart)
{
    // A splash window: window managers let it leave the screen.
    QWidget widget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    widget.resize(120, 60);
    widget.move(400, 100);
    TwipWindow twips(&widget);
    showAndWait(widget);
    const WindowId id = widget.winId();

    // Looks at the X server between steps.
    class WatchingPacer : public FramePacer
    {
    public:
        WatchingPacer(WindowId id, std::set<int> &seen) : m_id(id), m_seen(seen) { }
        void waitForNextFrame() override
        {
            FramePacer::waitForNextFrame();
            ++steps;
            if (auto g = geometry(m_id))
                m_seen.insert(g->y);
        }
        int steps = 0;

    private:
        WindowId m_id;
        std::set<int> &m_seen;
    };

    std::set<int> seen;
    WindowTools::SlideUpOut(twips, WatchingPacer(id, seen));
    EXPECT_LT(twips.top(), -twips.width());
    // 100 px = 1500 twips down to below -1800: 12 steps, each seen by the X server.
    EXPECT_GE(seen.size(), 8u);
    EXPECT_LT(*seen.begin(), 0) << "the X window really went above the screen";
    EXPECT_TRUE(waitUntil([&] { return geometry(id)->y == TwipWindow::toPixels(twips.top()); }))
        << geometry(id)->y;

    // Paced to the display: all steps but the first wait a frame each.
    twips.setTop(-1800);
    QElapsedTimer timer;
    timer.start();
    WindowTools::SlideDown(twips);
    const double steps = (twips.top() + 1800) / 300;
    const double frameMs = FramePacer::displayFrame().count() / 1000.0;
    EXPECT_GE(timer.elapsed(), (steps - 1) * frameMs * 0.95);
    EXPECT_GT(twips.top(), 7200);
}

class Dragging : public ::testing::Test
{
protected:
    void SetUp() override
    {
        widget.move(200, 150);
        showAndWait(widget);
        start = *geometry(widget.winId());
        xdotool({ "mousemove", "--sync", QString::number(start.x + 100),
            QString::number(start.y + 40) });
    }
    // The first step of a drag hands it to the window manager, which takes the pointer once it
    // has read the request: the steps after it are for the window manager to see.
    void firstDragStep(int x, int y)
    {
        XWindowProbe probe;
        probe.watchPointerGrabs(widget.winId());
        pointer({ "mousemove", QString::number(x), QString::number(y) });
        waitUntil([&] { return probe.pointerGrabbed(); });
    }
    // A drag's steps keep pace with the pointer as a person's desktop would: a sanitizer build
    // on a loaded machine otherwise sees a press and its moves in one breath.
    void step(const QStringList &arguments)
    {
        pointer(arguments);
        QTest::qWait(50);
    }
    DraggableWindow widget;
    WindowGeometry start;
};

TEST_F(Dragging, ADragMovesTheWindowByThePointersDelta)
{
    step({ "mousedown", "1" });
    firstDragStep(start.x + 110, start.y + 45);
    for (int i = 2; i <= 6; ++i)
        step({ "mousemove", QString::number(start.x + 100 + 10 * i),
            QString::number(start.y + 40 + 5 * i) });
    step({ "mouseup", "1" });
    ASSERT_TRUE(waitUntil([&] { return geometry(widget.winId())->x == start.x + 60; }, 3000))
        << "window at " << geometry(widget.winId())->x;
    EXPECT_EQ(geometry(widget.winId())->y, start.y + 30);

    // Dropped: moving the pointer afterwards leaves the window alone.
    pointer({ "mousemove", "50", "50" });
    QTest::qWait(200);
    EXPECT_EQ(geometry(widget.winId())->x, start.x + 60);
    EXPECT_EQ(widget.twips.top(), TwipWindow::toTwips(start.y + 30));
}

TEST_F(Dragging, AClickLeavesTheWindowWhereItWas)
{
    pointer({ "click", "1" });
    pointer({ "mousemove", "40", "700" });
    QTest::qWait(200);
    const auto now = geometry(widget.winId());
    EXPECT_EQ(now->x, start.x);
    EXPECT_EQ(now->y, start.y);
    // And the next real drag still works: a press of its own, not the second half of a double
    // click.
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    step({ "mousemove", QString::number(start.x + 100), QString::number(start.y + 40) });
    step({ "mousedown", "1" });
    firstDragStep(start.x + 120, start.y + 40);
    step({ "mousemove", QString::number(start.x + 140), QString::number(start.y + 40) });
    step({ "mouseup", "1" });
    EXPECT_TRUE(waitUntil([&] { return geometry(widget.winId())->x == start.x + 40; }, 3000));
}

} // namespace

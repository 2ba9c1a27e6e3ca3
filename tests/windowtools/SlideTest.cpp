// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTools.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

// Records each step's Top instead of waiting for the display.
class RecordingPacer : public FramePacer
{
public:
    explicit RecordingPacer(int &waits) : m_waits(waits) { }
    void start() override { }
    void waitForNextFrame() override { ++m_waits; }

private:
    int &m_waits;
};

struct SlideRun
{
    std::vector<float> tops; // Top after each move
    int passes = 0;
    int frameWaits = 0;
};

class Slides : public ::testing::Test
{
protected:
    SlideRun run(void (*slide)(TwipWindow &, FramePacer &&, const WindowTools::EventLoopPass &),
        int widthPx, int heightPx, float top)
    {
        QWidget widget;
        widget.resize(widthPx, heightPx);
        TwipWindow window(&widget);
        window.setTop(top);
        SlideRun result;
        auto pass = [&] {
            ++result.passes;
            result.tops.push_back(window.top());
        };
        slide(window, RecordingPacer(result.frameWaits), pass);
        // Each pass saw the Top before its move; add where the last move left it.
        result.tops.push_back(window.top());
        result.tops.erase(result.tops.begin());
        EXPECT_EQ(widget.y(), TwipWindow::toPixels(window.top()));
        return result;
    }
};

TEST_F(Slides, SlideDownFromBelowTheLineMovesOnce)
{
    const SlideRun r = run(WindowTools::SlideDown, 400, 300, 8000);
    EXPECT_EQ(r.tops, std::vector<float> { 8300 });
    EXPECT_EQ(r.passes, 1);
    EXPECT_EQ(r.frameWaits, 0);
}

TEST_F(Slides, SlideDownStopsOnceTopPassesTheLine)
{
    const SlideRun r = run(WindowTools::SlideDown, 400, 300, -6300);
    ASSERT_FALSE(r.tops.empty());
    EXPECT_EQ(r.tops.front(), -6000);
    EXPECT_EQ(r.tops.back(), 7500);
    EXPECT_EQ(r.tops.size(), 46u);
    EXPECT_EQ(r.passes, 46) << "one pass of the event loop per step";
    EXPECT_EQ(r.frameWaits, 45) << "every step after the first waits for a frame";
    // Exactly 7200 is not past the line: the step to 7200 is followed by one more.
    EXPECT_EQ(r.tops[r.tops.size() - 2], 7200);
}

TEST_F(Slides, SlideUpOutUsesTheWidthNotTheHeight)
{
    // 6000 twips wide; a short and a tall window end in the same place.
    for (int heightPx : { 10, 2000 }) {
        const SlideRun r = run(WindowTools::SlideUpOut, 400, heightPx, 3000);
        EXPECT_EQ(r.tops.back(), -6300) << "height " << heightPx;
        EXPECT_EQ(r.tops.size(), 31u);
    }
}

TEST_F(Slides, SlideUpOutAlwaysMovesAtLeastOnce)
{
    const SlideRun r = run(WindowTools::SlideUpOut, 400, 300, -9000);
    EXPECT_EQ(r.tops, std::vector<float> { -9300 });
}

TEST_F(Slides, FractionalTopIsFlooredFirst)
{
    const SlideRun r = run(WindowTools::SlideDown, 400, 300, 7000.5f);
    EXPECT_EQ(r.tops, (std::vector<float> { 7300 }));
}

TEST_F(Slides, OverflowingTopRaisesAnError)
{
    QWidget widget;
    TwipWindow window(&widget);
    window.setTop(INFINITY);
    int waits = 0;
    EXPECT_THROW(WindowTools::SlideDown(window, RecordingPacer(waits), [] {}), std::overflow_error);
}

// Each step's arithmetic.
TEST(SteppedTop, IsFloorPlusStepForWholeTwips)
{
    EXPECT_EQ(WindowTools::steppedTop(8000.0f, 300.0f), 8300.0f);
    EXPECT_EQ(WindowTools::steppedTop(-0.5f, 300.0f), 299.0f);
    EXPECT_EQ(WindowTools::steppedTop(1234.9f, -300.0f), 934.0f);
    EXPECT_EQ(WindowTools::steppedTop(9999700.0f, 300.0f), 1e7f);
}

TEST(SteppedTop, KeepsSevenSignificantDigitsOfLargeValues)
{
    // 123456789 has no exact float; its seven-digit text is 1.234568e+08.
    EXPECT_EQ(WindowTools::steppedTop(123456480.0f, 300.0f), 1.234568e8f);
}

TEST(SteppedTop, OverflowRaisesAnError)
{
    EXPECT_THROW(WindowTools::steppedTop(INFINITY, 300.0f), std::overflow_error);
    EXPECT_THROW(WindowTools::steppedTop(NAN, -300.0f), std::overflow_error);
    EXPECT_THROW(WindowTools::steppedTop(3.4028235e38f, 3.4028235e38f), std::overflow_error);
}

} // namespace

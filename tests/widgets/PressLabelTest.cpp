// SPDX-License-Identifier: GPL-3.0-or-later
#include "PressLabel.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace {

// One button going down or up at a point of the label (a 100 x 50 label at the window's corner).
struct Step
{
    bool down;
    Qt::MouseButton button;
    QPoint at;
};

struct Sequence
{
    const char *name;
    std::vector<Step> steps;
    int presses;
    int clicks;
};

const QPoint Inside(50, 25);
const QPoint Outside(200, 25);

const Sequence Sequences[] = {
    { "LeftClick", { { true, Qt::LeftButton, Inside }, { false, Qt::LeftButton, Inside } }, 1, 1 },
    { "RightClick", { { true, Qt::RightButton, Inside }, { false, Qt::RightButton, Inside } }, 1,
        0 },
    { "DraggedOff", { { true, Qt::LeftButton, Inside }, { false, Qt::LeftButton, Outside } }, 1,
        0 },
    { "RightPressedDuringLeft",
        { { true, Qt::LeftButton, Inside }, { true, Qt::RightButton, Inside },
            { false, Qt::RightButton, Inside }, { false, Qt::LeftButton, Inside } },
        2, 0 },
    { "TwoClicks",
        { { true, Qt::LeftButton, Inside }, { false, Qt::LeftButton, Inside },
            { true, Qt::LeftButton, { 0, 0 } }, { false, Qt::LeftButton, { 99, 49 } } },
        2, 2 },
};

void PrintTo(const Sequence &sequence, std::ostream *os)
{
    *os << sequence.name;
}

class PressLabelClicks : public ::testing::TestWithParam<Sequence>
{ };

TEST_P(PressLabelClicks, AreALeftPressAndReleaseOverItWithNothingBetween)
{
    QWidget window;
    window.resize(300, 100);
    auto *label = new PressLabel(&window);
    label->setGeometry(0, 0, 100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy pressed(label, &PressLabel::pressed);
    QSignalSpy clicked(label, &PressLabel::clicked);

    Qt::MouseButtons held;
    for (const Step &step : GetParam().steps) {
        held.setFlag(step.button, step.down);
        // Sent to the label as Qt's implicit grab does, wherever the pointer is.
        QMouseEvent event(step.down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
            QPointF(step.at), label->mapToGlobal(QPointF(step.at)), step.button, held,
            Qt::NoModifier);
        QCoreApplication::sendEvent(label, &event);
        EXPECT_TRUE(event.isAccepted()) << "the window below saw the button";
    }
    EXPECT_EQ(pressed.count(), GetParam().presses);
    EXPECT_EQ(clicked.count(), GetParam().clicks);
}

INSTANTIATE_TEST_SUITE_P(Sequences, PressLabelClicks, ::testing::ValuesIn(Sequences),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "QW.h"
#include "Application.h"
#include "FormRegistry.h"
#include "RecordingSpeechEngine.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <memory>

namespace {

// The board as the user must see and hear it, written out independently of the window's own
// table so a slip in either shows up. Geometry in twips.
struct ButtonRow
{
    const char *name;
    int left;
    int top;
    int width;
    const char *caption;
    const char *spoken;
};

void PrintTo(const ButtonRow &row, std::ostream *os)
{
    *os << row.name;
}

constexpr int C1 = 120, C2 = 1320, C3 = 2640;
constexpr int W12 = 1095, W3 = 1695;

const ButtonRow Buttons[] = {
    { "Command1", C1, 480, W12, "Yes", "Yes" },
    { "Command2", C1, 720, W12, "No", "No" },
    { "Command3", C2, 480, W12, "Who?", "Who?" },
    { "Command4", C2, 720, W12, "What?", "What?" },
    { "Command5", C2, 960, W12, "When?", "When?" },
    { "Command6", C2, 1200, W12, "Where?", "Where?" },
    { "Command7", C2, 1440, W12, "Why?", "Why?" },
    { "Command8", C2, 1680, W12, "How?", "How?" },
    { "Command9", C1, 960, W12, "Okay", "Okay" },
    { "Command10", C1, 1200, W12, "Sure", "Sure" },
    { "Command11", C1, 1440, W12, "Fine", "Fine" },
    { "Command12", C1, 1680, W12, "All right", "All right" },
    { "Command13", C3, 480, W3, "What Time is it?", "What time is it?" },
    { "Command14", C3, 720, W3, "What did you say?", "What did you say?" },
    { "Command15", C3, 960, W3, "Please hold on.", "Please hold on." },
    { "Command16", C3, 1200, W3, "Hold on, Doorbell.", "Hold on, the doorbell is ringing." },
    { "Command17", C3, 1440, W3, "Nature calls!",
        "Hold on, I need to use the rest room. Dont hang up!" },
    { "Command18", C3, 1680, W3, "Can you repeat that?", "Can you repeat that?" },
    { "Command19", C2, 2400, W12, "Stupid ***!", "Stupid ass!" },
    { "Command20", C2, 2640, W12, "**** You!", "Fuck you!" },
    { "Command21", C2, 2880, W12, "Eat my ****!", "Eat my shit!" },
    { "Command22", C2, 3120, W12, "Suck my ****!", "Suck my cock!" },
    { "Command23", C2, 3360, W12, "You *****!", "You bitch!" },
    { "Command24", C2, 3600, W12, "*****, Go die!", "Bitch, go die!" },
    { "Command25", C3, 2400, W3, "Auuuoooiiueoiueoi", "aoiauoiaueoiioueaoiaeuoieauueaoieau" },
    { "Command26", C3, 3120, W3, "Do you smell some...", "Do you smell somthing fishy?" },
    { "Command27", C3, 3360, W3, "It puts the lotion on...",
        "It puts the lotion on its skin or else it gets the hose again" },
    { "Command28", C3, 3600, W3, "Fido,  Stop humping...", "Fido, stop humping junior." },
    { "Command29", C3, 2640, W3, "oiuoiauoiauaoouaou", "oiuoaeuoaeiiaoueoiueiuaoieuuaoueoia" },
    { "Command30", C3, 2880, W3, "Har har har har har", "har har har har har" },
    { "Command31", C1, 2400, W12, "Freak", "You are a Freak." },
    { "Command32", C1, 2640, W12, "Loser", "You are a Loser" },
    { "Command33", C1, 2880, W12, "Idiot", "You are an Idiot" },
    { "Command34", C1, 3120, W12, "Stupid", "You are Stupid" },
    { "Command35", C1, 3360, W12, "Dumb", "You are Dumb" },
    { "Command36", C1, 3600, W12, "Queef", "You are a Queef" },
};

// Every test starts from an empty registry that knows only the phrase board, built on a speech
// control that records what it is told.
class QuickWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Application::installFontSubstitutions();
        FormRegistry::instance().reset();
        FormRegistry::instance().registerForm<QW>([this] {
            ++loads;
            return new QW(std::make_unique<RecordingSpeechEngine>(log));
        });
    }
    void TearDown() override { FormRegistry::instance().reset(); }

    QW &board() { return FormRegistry::instance().reach<QW>(); }

    std::shared_ptr<RecordingSpeechEngine::Log> log
        = std::make_shared<RecordingSpeechEngine::Log>();
    int loads = 0;
};

class QuickWindowButton : public QuickWindow, public ::testing::WithParamInterface<ButtonRow>
{ };

TEST_P(QuickWindowButton, ShowsItsCaptionInPlaceAndSpeaksItsPhrase)
{
    const ButtonRow &row = GetParam();
    QW &qw = board();
    qw.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qw));

    auto *button = qw.findChild<QPushButton *>(row.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8(row.caption));
    // A screen reader hears the caption and what the button will say.
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(row.caption).simplified());
    EXPECT_EQ(accessible->text(QAccessible::Description), QString::fromUtf8(row.spoken));
    EXPECT_EQ(button->geometry(), TwipWindow::toPixelRect(row.left, row.top, row.width, 255));

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(log->spoken, QStringList { QString::fromUtf8(row.spoken) });
    // The main window's timer owns speed and pitch; a click leaves them alone.
    EXPECT_TRUE(log->speeds.empty());
    EXPECT_TRUE(log->pitches.empty());
}

INSTANTIATE_TEST_SUITE_P(AllThirtySix, QuickWindowButton, ::testing::ValuesIn(Buttons),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(QuickWindow, HasExactlyTheThirtySixButtons)
{
    EXPECT_EQ(board().findChildren<QPushButton *>().size(), std::size(Buttons));
}

TEST_F(QuickWindow, ClickDuringAPhraseQueuesTheNextAtOnce)
{
    QW &qw = board();
    QTest::mouseClick(qw.findChild<QPushButton *>("Command17"), Qt::LeftButton);
    QTest::mouseClick(qw.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QTest::mouseClick(qw.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    EXPECT_EQ(log->spoken,
        (QStringList { "Hold on, I need to use the rest room. Dont hang up!", "Yes", "Yes" }));
}

TEST_F(QuickWindow, IsAFixedSizeToolWindowWithACloseBoxOnly)
{
    QW &qw = board();
    EXPECT_EQ(qw.windowTitle(), "Quick Window!");
    const Qt::WindowFlags flags = qw.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    const QSize client = TwipWindow::toPixelRect(0, 0, 4470, 3975).size();
    EXPECT_EQ(qw.size(), client);
    EXPECT_EQ(qw.minimumSize(), client);
    EXPECT_EQ(qw.maximumSize(), client);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(qw.pos(),
        QPoint(screen.x() + (screen.width() - client.width()) / 2,
            screen.y() + (screen.height() - client.height()) / 2));
}

TEST_F(QuickWindow, HeadingsStandOverTheirColumns)
{
    struct Heading
    {
        const char *name;
        QString text;
        QRect rect;
        bool opaque;
    };
    const QString lowerBlock = QString(25, ' ') + "Cusing" + QString(22, ' ') + "Weird Stuff...";
    const Heading headings[] = {
        { "Data_0", "Questions", TwipWindow::toPixelRect(1320, 120, 1095, 255), false },
        { "Data_1", "Answers", TwipWindow::toPixelRect(120, 120, 1095, 255), false },
        { "Data_2", "Stallers", TwipWindow::toPixelRect(2640, 120, 1695, 255), false },
        { "Label1", lowerBlock, TwipWindow::toPixelRect(120, 2040, 4215, 255), true },
        { "Label2", "Misc.", TwipWindow::toPixelRect(240, 2040, 1095, 255), true },
    };
    ASSERT_EQ(lowerBlock.size(), 67);
    QW &qw = board();
    for (const Heading &heading : headings) {
        SCOPED_TRACE(heading.name);
        auto *label = qw.findChild<QLabel *>(heading.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), heading.text);
        EXPECT_EQ(label->geometry(), heading.rect);
        EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        EXPECT_EQ(label->autoFillBackground(), heading.opaque);
    }
}

TEST_F(QuickWindow, MiscAndTheColumnLineLieAboveTheLowerHeading)
{
    QW &qw = board();
    auto *line = qw.findChild<QWidget *>("Line1");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->geometry(), QRect(168, 8, 1, 249));
    // Both overlap Label1; what lies on top is what a click or a look finds there.
    EXPECT_EQ(qw.childAt(20, 140), qw.findChild<QLabel *>("Label2"));
    EXPECT_EQ(qw.childAt(168, 140), line);
    EXPECT_EQ(qw.childAt(250, 140), qw.findChild<QLabel *>("Label1"));
}

TEST_F(QuickWindow, TabReadsEachColumnTopToBottomAndReturnPressesTheFocusedButton)
{
    QW &qw = board();
    QStringList order;
    QWidget *widget = qw.findChild<QPushButton *>("Command1");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != qw.findChild<QPushButton *>("Command1") && order.size() <= 40);
    std::vector<ButtonRow> reading(std::begin(Buttons), std::end(Buttons));
    std::stable_sort(reading.begin(), reading.end(),
        [](auto &a, auto &b) { return std::pair(a.left, a.top) < std::pair(b.left, b.top); });
    QStringList expected;
    for (const ButtonRow &row : reading)
        expected << row.name;
    EXPECT_EQ(order, expected);

    qw.findChild<QPushButton *>("Command2")->setFocus();
    QTest::keyClick(&qw, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return log->spoken == QStringList { "No" }; }));
}

TEST_F(QuickWindow, LoadPutsItInTheKeepAboveBandWithoutShowingIt)
{
    QW &qw = board();
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(qw.isHidden());
    EXPECT_TRUE(qw.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    qw.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qw));
    EXPECT_TRUE(qw.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(QuickWindow, CloseBoxUnloadsAndTheNextReachLoadsItHiddenAndTopmost)
{
    QPointer<QW> first = &board();
    first->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    first->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }));
    EXPECT_FALSE(FormRegistry::instance().isLoaded(FormNames::QW));

    QW &second = board();
    EXPECT_EQ(loads, 2);
    EXPECT_TRUE(second.isHidden());
    EXPECT_TRUE(second.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QTest::mouseClick(second.findChild<QPushButton *>("Command2"), Qt::LeftButton);
    EXPECT_EQ(log->spoken, QStringList { "No" });
}

} // namespace

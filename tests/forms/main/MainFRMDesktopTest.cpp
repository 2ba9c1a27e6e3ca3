// SPDX-License-Identifier: GPL-3.0-or-later
// The strip on a real X server with a real window manager, driven by the real pointer and
// keyboard, speaking through the real engine into the sound server.
#include "Listening.h"
#include "MainWindowFixture.h"
#include "SpeechEngineFactory.h"
#include "UnmapCounter.h"

#include "Profanity.h"
#include "QuickPhrases.h"
#include "TextBox.h"
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <cstdio>

using namespace desktop;

namespace {

// The strip with the real speech engine; the phrase board only records.
class StripOnTheDesktop : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        FormRegistry::instance().reset();
        Application::installFontSubstitutions();
        auto &forms = FormRegistry::instance();
        forms.registerForm<MainFRM>([] { return new MainFRM(createSpeechEngine("Vocalo test")); });
        forms.registerForm<QW>(
            [log = quickLog] { return new QW(std::make_unique<RecordingSpeechEngine>(log)); });
        forms.registerForm<MenuForm>([] { return new MenuForm(MainFRM::menuCommands()); });
        forms.registerForm(FormNames::Secret, [] { return new Form; });
        // Every test starts after the greeting has been heard to its end.
        greeting = hear([&] {
            main = &forms.reach<MainFRM>();
            main->Show();
        });
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        id = main->winId();
    }

    // Where a point of the window, in twips, is on the screen.
    QPoint onScreen(int xTwips, int yTwips) const
    {
        return main->mapToGlobal(
            QPoint(TwipWindow::toPixels(xTwips), TwipWindow::toPixels(yTwips)));
    }

    void pointerTo(QPoint point)
    {
        pointer({ "mousemove", "--sync", QString::number(point.x()), QString::number(point.y()) });
    }

    void clickAt(QPoint point)
    {
        xdotool({ "mousemove", "--sync", QString::number(point.x()), QString::number(point.y()) });
        ASSERT_TRUE(leftButton("click")) << "the click never reached the strip";
    }

    void openPanel()
    {
        command("MNUOptions")->trigger();
        ASSERT_TRUE(waitUntil([&] { return geometry(id)->height == 169; }));
    }

    void pressEnterInData()
    {
        clickAt(onScreen(2000, 140));
        xdotool({ "key", "Return" });
    }

    std::vector<int16_t> speakAt(const char *bar, int value, const QString &text)
    {
        control<QScrollBar>(bar)->setValue(value);
        // The tick hands the value to the strip's engine, then to the phrase board's.
        const bool speed = QByteArray(bar) == "Speed";
        EXPECT_TRUE(
            waitUntil([&] { return (speed ? quickLog->speed : quickLog->pitch) == value; }));
        main->Data().setText(text);
        // Slow speech holds long pauses between its words.
        return hear([&] { pressEnterInData(); }, 30000, 1500);
    }

    WindowId id = 0;
    std::vector<int16_t> greeting;
};

} // namespace

TEST_F(StripOnTheDesktop, StripAndPanelAsDrawn)
{
    const auto strip = geometry(id);
    ASSERT_TRUE(strip);
    EXPECT_TRUE(strip->viewable);
    EXPECT_EQ(strip->width, 369);
    EXPECT_EQ(strip->height, 19);
    EXPECT_TRUE(hasNetWmState(id, "_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(windowTypes(id).contains("_NET_WM_WINDOW_TYPE_NORMAL"));
    EXPECT_FALSE(hasNetWmState(id, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_GT(secondsOfSound(greeting), 1.0) << "the greeting is heard";
    screenshot(id, "main-strip");

    openPanel();
    QTest::qWait(200); // and stays where it is
    EXPECT_EQ(geometry(id)->y, strip->y) << "the panel opens below the strip";
    screenshot(id, "main-panel");
}

TEST_F(StripOnTheDesktop, TypedLineIsHeardAndClearedOrKeptAsChosen)
{
    for (const bool clear : { true, false }) {
        control<QCheckBox>("DelEnterd")->setChecked(clear);
        main->Data().clear();
        clickAt(onScreen(2000, 140));
        xdotool({ "type", "--delay", "20", "hello world" });
        EXPECT_TRUE(waitUntil([&] { return main->Data().text() == "hello world"; }))
            << main->Data().text().toStdString();
        const auto heard = hear([&] { xdotool({ "key", "Return" }); });
        EXPECT_GT(secondsOfSound(heard), 0.4);
        EXPECT_LT(secondsOfSound(heard), 3.0);
        EXPECT_EQ(main->Data().text(), clear ? "" : "hello world");
    }
}

TEST_F(StripOnTheDesktop, EnterOnAnEmptyBoxIsSilentAndHarmless)
{
    main->Data().clear();
    const auto heard = hear([&] { pressEnterInData(); }, 2000);
    EXPECT_FALSE(audio::isNonSilent(heard));
    EXPECT_TRUE(geometry(id)->viewable);
    const auto after = hear([&] {
        xdotool({ "type", "--delay", "20", "still here" });
        xdotool({ "key", "Return" });
    });
    EXPECT_GT(secondsOfSound(after), 0.3);
}

TEST_F(StripOnTheDesktop, FastSpeedGivesShorterSpeechThanSlow)
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    const double slow = secondsOfSound(speakAt("Speed", 50, line));
    const double fast = secondsOfSound(speakAt("Speed", 250, line));
    std::printf("speed 50: %.2f s, speed 250: %.2f s\n", slow, fast);
    EXPECT_GT(fast, 0.3);
    // Five times the words per minute: allow for pauses that do not stretch.
    EXPECT_GT(slow, 2.5 * fast) << "slow " << slow << " s, fast " << fast << " s";
}

TEST_F(StripOnTheDesktop, HigherPitchGivesHigherVoice)
{
    const QString line = QStringLiteral("Hello there, how are you today?");
    const double low = audio::medianF0(speakAt("Pitch", 80, line));
    const double high = audio::medianF0(speakAt("Pitch", 250, line));
    std::printf("pitch 80: %.0f Hz, pitch 250: %.0f Hz\n", low, high);
    EXPECT_GT(low, 50);
    EXPECT_GT(high, 1.6 * low) << "low " << low << " Hz, high " << high << " Hz";
}

TEST_F(StripOnTheDesktop, DraggingTheBoxOfTheSpeedBarShowsItsNumberOnRelease)
{
    openPanel();
    auto *speed = control<QScrollBar>("Speed");
    // The box sits in the middle at 150; drag it past the right end.
    const QPoint box = speed->mapToGlobal(QPoint(speed->width() / 2, speed->height() / 2));
    pointerTo(box);
    ASSERT_TRUE(leftButton("mousedown"));
    for (int step = 1; step <= 8; ++step)
        pointerTo(box + QPoint(step * 30, 0));
    EXPECT_TRUE(waitUntil([&] { return speed->sliderPosition() == 250; }));
    EXPECT_EQ(control<QLabel>("SpeedNow")->text(), "150") << "not while dragging";
    xdotool({ "mouseup", "1" });
    EXPECT_TRUE(waitUntil([&] { return control<QLabel>("SpeedNow")->text() == "250"; }, 2000));
    EXPECT_EQ(speed->value(), 250);
}

TEST_F(StripOnTheDesktop, NotOnTopLeavesTheKeepAboveBandWithoutUnmappingOrMoving)
{
    openPanel();
    const auto before = geometry(id);
    ASSERT_TRUE(before);
    UnmapCounter unmaps(id);

    clickAt(onScreen(1000, 1860));
    EXPECT_TRUE(control<QRadioButton>("NotOnTop")->isChecked());
    EXPECT_TRUE(waitUntil([&] { return !hasNetWmState(id, "_NET_WM_STATE_ABOVE"); }));
    QTest::qWait(100);
    EXPECT_EQ(unmaps.count(), 0);
    auto after = geometry(id);
    EXPECT_TRUE(after->viewable);
    EXPECT_EQ(QPoint(after->x, after->y), QPoint(before->x, before->y));

    clickAt(onScreen(1000, 1500));
    EXPECT_TRUE(waitUntil([&] { return hasNetWmState(id, "_NET_WM_STATE_ABOVE"); }));
    QTest::qWait(100);
    EXPECT_EQ(unmaps.count(), 0);
    after = geometry(id);
    EXPECT_EQ(QPoint(after->x, after->y), QPoint(before->x, before->y));
}

TEST_F(StripOnTheDesktop, DragOnTheGripMovesTheStripAndAClickDoesNot)
{
    const auto start = geometry(id);
    ASSERT_TRUE(start);

    // Clicks without a move: on the text box and on the grip.
    for (const QPoint point : { onScreen(2000, 140), onScreen(60, 140) }) {
        clickAt(point);
        QTest::qWait(200);
        pointerTo(point + QPoint(40, 60));
        QTest::qWait(200);
        const auto now = geometry(id);
        EXPECT_EQ(QPoint(now->x, now->y), QPoint(start->x, start->y)) << "clicked, not dragged";
    }

    pointerTo(onScreen(60, 140));
    ASSERT_TRUE(leftButton("mousedown"));
    for (int step = 1; step <= 10; ++step)
        pointerTo(onScreen(60, 140) + QPoint(step * 12, step * 8));
    xdotool({ "mouseup", "1" });
    EXPECT_TRUE(waitUntil([&] {
        const auto now = geometry(id);
        return now->x == start->x + 120 && now->y == start->y + 80;
    })) << "at "
        << geometry(id)->x << ", " << geometry(id)->y;
}

TEST_F(StripOnTheDesktop, OffersNoInsultOrSwearingUntilTheUserHasSaidIt)
{
    TextBox &data = main->Data();
    clickAt(onScreen(2000, 140));
    auto offerFor = [&](const QString &typed) {
        data.clear();
        xdotool({ "type", "--delay", "20", typed });
        EXPECT_TRUE(waitUntil([&] { return data.text() == typed; }));
        return typed + data.suggestion();
    };
    // The model of English is read off the user-interface thread: it is there once "thank"
    // brings "you".
    ASSERT_TRUE(waitUntil([&] { return offerFor("thank ") == "thank you"; }, 20000));
    QStringList board;
    for (const QuickPhrase &phrase : QuickPhrases)
        for (const QString &word : QString::fromUtf8(phrase.spoken).split(u' '))
            if (const QString w = word.toLower().remove(u'!').remove(u'.').remove(u',');
                Profanity::isOffensive(w.toUtf8()))
                board.append(w);
    ASSERT_GE(board.size(), 10);
    for (const QString &word : board)
        EXPECT_FALSE(Profanity::isOffensive(offerFor(word.left(2)).toLower().toUtf8()))
            << word.toStdString();

    auto *button = FormRegistry::instance().reach<QW>().findChild<QPushButton *>("Command20");
    ASSERT_TRUE(button);
    button->click();
    EXPECT_EQ(offerFor("fu"), "fuck") << "what the user said is theirs";
}

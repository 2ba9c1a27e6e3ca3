// SPDX-License-Identifier: GPL-3.0-or-later
// The built program on a real desktop, as a person uses it: the pointer and the keyboard go in
// through the X server, what comes out is looked at on the screen and heard on the sound
// server's monitor.
#include "Listening.h"
#include "PastedText.h"
#include "TwipWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace desktop;

namespace {

constexpr int StartTimeoutMs = 20000;

// The program's windows but the row of offers, which comes and goes with what is typed.
QStringList visibleVocaloWindows()
{
    const std::vector<WindowId> offers = visibleWindows("Vocalo offers");
    QStringList ids;
    for (const WindowId id : visibleWindowsOfClass("vocalo"))
        if (std::find(offers.begin(), offers.end(), id) == offers.end())
            ids << QString::number(id);
    return ids;
}

// How many pixels of the text box differ between two shots of the strip.
int changedInTheBox(const QImage &before, const QImage &after)
{
    int changed = 0;
    for (int y = 2; y < 17; ++y)
        for (int x = 10; x < 360; ++x)
            changed += before.pixel(x, y) != after.pixel(x, y);
    return changed;
}

// More than a blinking cursor and a few letters change.
constexpr int PastedTextShows = 200;

class RunningVocalo : public ::testing::Test
{
protected:
    void SetUp() override
    {
        recorder.start();
        vocalo.start();
        ASSERT_TRUE(waitUntil(
            [&] {
                strip = findWindow("Vocalo 1.0", 0);
                return strip && geometry(*strip)->viewable;
            },
            StartTimeoutMs))
            << "the strip never showed";
        stripShownAtSample = recorder.recordedSoFar();
        // Typing goes where the window manager has put the focus.
        ASSERT_TRUE(waitUntil([&] { return focusedWindow() == *strip; }))
            << "the strip never got the keyboard";
    }

    // What was heard from shortly before the strip showed until the sound stopped.
    std::vector<int16_t> greeting()
    {
        waitUntil(
            [&] {
                const auto samples = fromStripOn();
                const auto span = audio::nonSilentSpan(samples);
                return span.found && samples.size() - span.last > audio::SampleRate / 2;
            },
            10000);
        return fromStripOn();
    }

    std::vector<int16_t> fromStripOn()
    {
        const std::vector<int16_t> samples = recorder.samplesSoFar();
        // The greeting is handed to the engine just before the window is shown.
        const std::size_t from = stripShownAtSample > std::size_t(audio::SampleRate) / 2
            ? stripShownAtSample - audio::SampleRate / 2
            : 0;
        return { samples.begin() + static_cast<std::ptrdiff_t>(std::min(from, samples.size())),
            samples.end() };
    }

    WindowGeometry stripGeometry() { return geometry(*strip).value_or(WindowGeometry {}); }

    void pointerTo(int x, int y)
    {
        xdotool({ "mousemove", "--sync", QString::number(x), QString::number(y) });
    }

    // The program takes the click and the keys after it in the order the X server sends them;
    // the keyboard stays with the strip, which has had it since it showed.
    void clickOnStrip(int x, int y)
    {
        const WindowGeometry g = stripGeometry();
        pointerTo(g.x + x, g.y + y);
        xdotool({ "click", "1" });
    }

    void clickIntoData() { clickOnStrip(150, 9); }

    // Clicks the menu corner and returns the window that opened: the menu.
    QString openMenu()
    {
        const QStringList before = visibleVocaloWindows();
        clickOnStrip(364, 9);
        QString menu;
        waitUntil([&] {
            for (const QString &id : visibleVocaloWindows())
                if (!before.contains(id))
                    menu = id;
            return !menu.isEmpty();
        });
        return menu;
    }

    // Picks the n-th command (1 = Options) with the keyboard.
    void choose(int command)
    {
        const QString menu = openMenu();
        ASSERT_FALSE(menu.isEmpty());
        for (int i = 0; i < command; ++i)
            xdotool({ "key", "Down" });
        xdotool({ "key", "Return" });
        // The menu closes as its command runs.
        ASSERT_TRUE(waitUntil([&] { return !visibleVocaloWindows().contains(menu); }));
    }

    // Speaks the text through the clipboard and the box; gives the recording's length at Enter.
    std::size_t pasteAndSpeak(const QString &text)
    {
        QGuiApplication::clipboard()->setText(text);
        clickIntoData();
        const QImage before(screenshot(*strip, "vocalo-before-paste"));
        xdotool({ "key", "ctrl+v" });
        // The program asks this process for the clipboard's text: the event loop runs until the
        // box shows it.
        EXPECT_TRUE(waitUntil(
            [&] {
                return changedInTheBox(before, QImage(screenshot(*strip, "vocalo-pasted")))
                    > PastedTextShows;
            },
            10000, 100))
            << "the pasted text never showed";
        xdotool({ "key", "Return" });
        return recorder.recordedSoFar();
    }

    bool soundStartsAfter(std::size_t mark)
    {
        return waitUntil([&] { return audio::isNonSilent(recorder.samplesSince(mark)); }, 10000);
    }

    MonitorRecorder recorder;
    VocaloProcess vocalo;
    std::optional<WindowId> strip;
    std::size_t stripShownAtSample = 0;
};

enum Command { Options = 1, QuickWindow, SecretPlace, About, Exit };

// About an hour of speech.
QString longText()
{
    QString words;
    for (int i = 0; i < 1000; ++i)
        words += QStringLiteral("Here are ten words that keep the speech going on. ");
    return words;
}

// As long, but without a full stop: the engine cuts it into sentences of the longest length it
// takes, each over ten seconds of speech.
QString longSentences()
{
    QString words;
    for (int i = 0; i < 1000; ++i)
        words += QStringLiteral("here are ten words that keep one sentence going on ");
    return words;
}

double seconds(std::size_t samples)
{
    return double(samples) / audio::SampleRate;
}

} // namespace

TEST_F(RunningVocalo, ShowsAFramelessStripAboveOtherWindowsAndGreets)
{
    const WindowGeometry g = stripGeometry();
    EXPECT_EQ(g.width, 369);
    EXPECT_EQ(g.height, 19);
    EXPECT_TRUE(hasNetWmState(*strip, "_NET_WM_STATE_ABOVE"));
    EXPECT_EQ(run("xprop", { "-id", QString::number(*strip), "_NET_FRAME_EXTENTS" })
                  .output.section('=', 1)
                  .trimmed(),
        "0, 0, 0, 0")
        << "no border, no title bar";
    EXPECT_GT(secondsOfSound(greeting()), 1.0) << "the greeting is heard";
    screenshot(*strip, "vocalo-strip");
}

TEST_F(RunningVocalo, TypedLineIsHeardAndTheBoxIsLeftEmpty)
{
    greeting();
    // No click first: the text box has the focus from the start.
    xdotool({ "type", "--delay", "20", "hello world" });
    const auto heard = hear([&] { xdotool({ "key", "Return" }); });
    EXPECT_GT(secondsOfSound(heard), 0.4);
    EXPECT_LT(secondsOfSound(heard), 3.0);
    // Had the text stayed, Enter would say it again.
    const auto again = hear([&] { xdotool({ "key", "Return" }); }, 2500);
    EXPECT_FALSE(audio::isNonSilent(again)) << "the box was emptied";
    EXPECT_TRUE(vocalo.running());
}

// A nonsense word of the phrase board, once said: so long that hearing it whole is unmistakable
// against hearing its first letters.
TEST_F(RunningVocalo, APrefixAndTabAreHeardAsTheWholeWordAndEnterSpeaksOnlyWhatWasTyped)
{
    greeting();
    xdotool({ "type", "--delay", "20", "aoiauoiaueoiioueaoiaeuoieauueaoieau" });
    hear([&] { xdotool({ "key", "Return" }); });
    xdotool({ "type", "--delay", "20", "aoia" });
    const auto typedOnly = hear([&] { xdotool({ "key", "Return" }); });
    xdotool({ "type", "--delay", "20", "aoia" });
    xdotool({ "key", "Tab" });
    const auto taken = hear([&] { xdotool({ "key", "Return" }); });
    EXPECT_GT(secondsOfSound(typedOnly), 0.1);
    EXPECT_GT(secondsOfSound(taken), 2 * secondsOfSound(typedOnly))
        << "the whole word \"aoiauoiaueoiioueaoiaeuoieauueaoieau\" is spoken";
}

// Were Tab to leave the box for the folded panel, Enter would go to its Okay and Space would
// switch its choices.
TEST_F(RunningVocalo, TabWithNothingOfferedKeepsTheLineWholeAndLeavesThePanelAlone)
{
    greeting();
    EXPECT_GT(secondsOfSound(hear([&] {
        xdotool({ "type", "--delay", "20", "see you zqxv" });
        xdotool({ "key", "Tab", "p", "a", "p", "a", "Return" });
    })),
        1.2);
    xdotool({ "key", "Tab", "space", "a", "Tab", "space", "b", "Tab", "space", "Return" });
    QTest::qWait(500);
    // Letters left in the box are black; a word offered on the emptied line is dimmed.
    const QImage after(screenshot(*strip, "vocalo-tab-after"));
    int letters = 0;
    for (int y = 3; y < 16; ++y)
        for (int x = 10; x < 300; ++x)
            letters += after.pixelColor(x, y).lightness() < 100;
    EXPECT_LT(letters, 20) << "Enter no longer clears the box";
    EXPECT_TRUE(hasNetWmState(*strip, "_NET_WM_STATE_ABOVE"));
}

// The words said after "zorbly", which the model of English does not know, are its three
// offers, the latest said first; they differ so much in length that the box shows which was taken.
TEST_F(RunningVocalo, F1ToF3AndAClickOnTheRowTakeTheirWordAndTheRowFollowsTheStrip)
{
    greeting();
    for (const char *line :
        { "zorbly antidisestablishmentarianism", "zorbly hippopotamus", "zorbly ox" }) {
        xdotool({ "type", "--delay", "20", line });
        xdotool({ "key", "Return" });
    }
    // Where the black letters typed end; the word offered after them is drawn dimmed.
    auto inkEnd = [&] {
        const QImage box(screenshot(*strip, "vocalo-offer-taken"));
        int end = 0;
        for (int y = 3; y < 16; ++y)
            for (int x = 10; x < 360; ++x)
                if (box.pixelColor(x, y).lightness() < 100)
                    end = std::max(end, x);
        return end;
    };
    auto takeWith = [&](const std::function<void()> &pick) {
        xdotool({ "type", "--delay", "20", "zorbly " });
        const int typed = inkEnd();
        pick();
        int end = 0;
        EXPECT_TRUE(waitUntil([&] { return (end = inkEnd()) > typed + 8; })) << "nothing taken";
        xdotool({ "key", "ctrl+a", "BackSpace" });
        return end;
    };
    std::vector<int> ends;
    for (const char *key : { "F1", "F2", "F3" })
        ends.push_back(takeWith([&] { xdotool({ "key", key }); }));
    EXPECT_LT(ends[0], ends[1]) << "F1 takes ox, F2 hippopotamus";
    EXPECT_LT(ends[1], ends[2]) << "F3 takes antidisestablishmentarianism";

    const std::optional<WindowId> row = findWindow("Vocalo offers");
    ASSERT_TRUE(row) << "the row of offers never showed";
    WindowGeometry g = stripGeometry();
    WindowGeometry r = geometry(*row).value_or(WindowGeometry {});
    EXPECT_EQ(QRect(r.x, r.y, r.width, r.height), QRect(g.x, g.y + g.height, g.width, g.height))
        << "just under the strip, as wide";
    const int clicked = takeWith([&] {
        pointerTo(r.x + r.width * 5 / 6, r.y + r.height / 2);
        xdotool({ "click", "1" });
    });
    EXPECT_EQ(clicked, ends[2]) << "a click on the third word takes it";
    EXPECT_EQ(focusedWindow(), *strip) << "the keyboard stays in the strip";

    // Dragged by its grip until its bottom nearly meets the screen's, the strip has the row above.
    const QStringList screen = run("xdotool", { "getdisplaygeometry" }).output.split(' ');
    const int bottom = screen.value(1).trimmed().toInt();
    pointerTo(g.x + 4, g.y + 9);
    xdotool({ "mousedown", "1" });
    for (int step = 1; step <= 10; ++step)
        pointerTo(g.x + 4, g.y + 9 + (bottom - 14 - g.y - 9) * step / 10);
    xdotool({ "mouseup", "1" });
    xdotool({ "type", "--delay", "20", "zorbly " });
    EXPECT_TRUE(waitUntil([&] {
        g = stripGeometry();
        r = geometry(*row).value_or(WindowGeometry {});
        return g.y + g.height + r.height > bottom && r.viewable && r.y + r.height == g.y
            && r.x == g.x;
    })) << "strip at "
        << g.y << ", row at " << r.y << " on a screen " << bottom << " high";
}

TEST_F(RunningVocalo, MenuOpensAtThePointerFromAClickOnTheCorner)
{
    const QString menu = openMenu();
    ASSERT_FALSE(menu.isEmpty()) << "no menu opened";
    const auto g = geometry(menu.toULongLong());
    ASSERT_TRUE(g);
    const WindowGeometry s = stripGeometry();
    EXPECT_LE(std::abs(g->x - (s.x + 364)), 2);
    EXPECT_LE(std::abs(g->y - (s.y + 9)), 2);
    EXPECT_GT(g->height, 5 * 15) << "five commands and a separator";
    screenshot(menu.toULongLong(), "vocalo-menu");
    xdotool({ "key", "Escape" });
    EXPECT_TRUE(waitUntil([&] { return !visibleVocaloWindows().contains(menu); }));
}

TEST_F(RunningVocalo, OptionsOpensThePanelAndOkayFoldsItAway)
{
    choose(Options);
    EXPECT_TRUE(waitUntil([&] { return stripGeometry().height == 169; }));
    screenshotWhenDrawn(*strip, "vocalo-panel");
    clickOnStrip(TwipWindow::toPixels(2500), TwipWindow::toPixels(2220));
    EXPECT_TRUE(waitUntil([&] { return stripGeometry().height == 19; }));
}

TEST_F(RunningVocalo, QuickWindowTwiceShowsOneWindow)
{
    choose(QuickWindow);
    ASSERT_TRUE(findWindow("Quick Window!"));
    choose(QuickWindow);
    QTest::qWait(300);
    EXPECT_EQ(visibleWindows("Quick Window!").size(), 1);
}

TEST_F(RunningVocalo, AboutShowsItsBoxUntilItIsClosed)
{
    choose(About);
    const auto box = findWindow("About Vocalo");
    ASSERT_TRUE(box);
    screenshotWhenDrawn(*box, "vocalo-about");
    EXPECT_TRUE(hasNetWmState(*box, "_NET_WM_STATE_ABOVE")) << "not hidden under the strip";
    xdotool({ "key", "Return" });
    EXPECT_TRUE(waitUntil([&] { return !findWindow("About Vocalo", 0); }));
    EXPECT_TRUE(vocalo.running());
    EXPECT_TRUE(stripGeometry().viewable);
}

TEST_F(RunningVocalo, AccessCodeOpensTheCreditsPageAndAClickThereReturns)
{
    // Wrong case and a trailing space open nothing.
    for (const char *wrong : { "zazoruroreziVAVE", "ZAZORUROREZIVAVE " }) {
        clickIntoData();
        xdotool({ "key", "ctrl+a", "BackSpace" });
        xdotool({ "type", "--delay", "10", wrong });
        choose(SecretPlace);
        EXPECT_FALSE(findWindow("Secret Place", 500)) << wrong;
        EXPECT_TRUE(stripGeometry().viewable) << wrong;
    }

    clickIntoData();
    xdotool({ "key", "ctrl+a", "BackSpace" });
    xdotool({ "type", "--delay", "10", "ZAZORUROREZIVAVE" });
    for (const bool first : { true, false }) {
        const QStringList before = visibleVocaloWindows();
        choose(SecretPlace);
        EXPECT_TRUE(waitUntil([&] { return !stripGeometry().viewable; })) << "the strip hides";
        if (first) {
            const auto box = findWindow("Secret Place");
            ASSERT_TRUE(box) << "the page greets with its box the first time";
            xdotool({ "key", "Return" });
        } else {
            EXPECT_FALSE(findWindow("Secret Place", 500)) << "no box the second time";
        }
        QString page;
        ASSERT_TRUE(waitUntil([&] {
            for (const QString &id : visibleVocaloWindows()) {
                const auto g = geometry(id.toULongLong());
                if (g && g->width == 99 && g->height == 97)
                    page = id;
            }
            return !page.isEmpty();
        })) << "the credits page shows";
        const auto g = geometry(page.toULongLong());
        pointerTo(g->x + 50, g->y + 50);
        xdotool({ "click", "1" });
        EXPECT_TRUE(waitUntil([&] { return stripGeometry().viewable; })) << "the strip is back";
    }
}

// Without the pointer: F10 and the arrows reach every command, Esc closes the menu, and each
// window the menu opens gives the keyboard back to the strip when it closes.
TEST_F(RunningVocalo, EveryCommandIsReachedFromTheKeyboardAlone)
{
    const auto command = [&](int chosen, const char *then = nullptr) {
        const QStringList before = visibleVocaloWindows();
        xdotool({ "key", "F10" });
        QString menu;
        EXPECT_TRUE(waitUntil([&] {
            for (const QString &id : visibleVocaloWindows())
                menu = before.contains(id) ? menu : id;
            return !menu.isEmpty();
        })) << "F10 opens the menu";
        for (int i = 1; i < chosen; ++i)
            xdotool({ "key", "Down" });
        xdotool({ "key", then ? then : "Return" });
        EXPECT_TRUE(waitUntil([&] { return !visibleVocaloWindows().contains(menu); }));
    };
    const auto backInTheStrip = [&](const char *from) {
        EXPECT_TRUE(waitUntil([&] { return focusedWindow() == *strip; })) << from;
    };
    greeting();
    command(Exit, "Escape");
    backInTheStrip("the menu");

    command(Options);
    EXPECT_TRUE(waitUntil([&] { return stripGeometry().height == 169; }));
    xdotool({ "key", "Return" }); // Okay has the keyboard
    EXPECT_TRUE(waitUntil([&] { return stripGeometry().height == 19; }));

    command(QuickWindow);
    const auto board = findWindow("Quick Window!");
    ASSERT_TRUE(board);
    EXPECT_TRUE(waitUntil([&] { return focusedWindow() == *board; }));
    xdotool({ "key", "Escape" });
    EXPECT_TRUE(waitUntil([&] { return !findWindow("Quick Window!", 0); }));
    backInTheStrip("the board");

    command(About);
    ASSERT_TRUE(findWindow("About Vocalo"));
    xdotool({ "key", "Return" });
    backInTheStrip("About");

    xdotool({ "type", "--delay", "10", "ZAZORUROREZIVAVE" });
    command(SecretPlace);
    ASSERT_TRUE(findWindow("Secret Place"));
    xdotool({ "key", "Return" });
    EXPECT_TRUE(waitUntil([&] { return !findWindow("Secret Place", 0); }));
    xdotool({ "key", "Escape" }); // the credits page
    EXPECT_TRUE(waitUntil([&] { return stripGeometry().viewable; }));
    backInTheStrip("the credits page");

    xdotool({ "key", "ctrl+a", "BackSpace" });
    xdotool({ "type", "--delay", "20", "papa" });
    EXPECT_GT(secondsOfSound(hear([&] {
        xdotool({ "key", "Return" });
    })),
        0.2)
        << "the text box has the keyboard";
    command(Exit);
    EXPECT_TRUE(vocalo.waitForExit(5000));
}

TEST_F(RunningVocalo, ExitEndsAtOnceWhileALongTextIsSpoken)
{
    greeting();
    const std::size_t pressed = pasteAndSpeak(longText());
    ASSERT_TRUE(soundStartsAfter(pressed)) << "the pasted text is spoken";
    QTest::qWait(1000);
    ASSERT_TRUE(vocalo.running());

    const QString menu = openMenu();
    ASSERT_FALSE(menu.isEmpty());
    const auto g = geometry(menu.toULongLong());
    // Exit is the last item: click it with the pointer.
    pointerTo(g->x + 30, g->y + g->height - 12);
    xdotool({ "click", "1" });
    // A hang bound: the text takes most of an hour to speak and synthesis keeps only a little
    // ahead of playback, so waiting for the speech to end would take far longer.
    ASSERT_TRUE(vocalo.waitForExit(5000)) << "still running";
    const std::vector<int16_t> heard = recorder.samplesSince(pressed);
    ASSERT_GT(heard.size(), std::size_t(audio::SampleRate));
    EXPECT_TRUE(audio::isNonSilent(std::span(heard).last(audio::SampleRate)))
        << "the long text was still being spoken when Exit was chosen";
    EXPECT_EQ(vocalo.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vocalo.exitCode(), 0);
}

TEST_F(RunningVocalo, EscSilencesALongLineAndWhatIsQueuedBehindIt)
{
    greeting();
    // A long line with a second one queued behind it, stopped a second into it.
    const std::size_t pasted = pasteAndSpeak(longSentences());
    xdotool({ "type", "Not to be heard." });
    xdotool({ "key", "Return" });
    ASSERT_TRUE(soundStartsAfter(pasted));
    QTest::qWait(1000);
    // Marked before the key, so what is measured includes xdotool's own start: an upper bound.
    const std::size_t stopped = recorder.recordedSoFar();
    xdotool({ "key", "Escape" });
    QTest::qWait(6000);
    const std::vector<int16_t> afterEsc = recorder.samplesSince(stopped);
    // A hang bound only: finishing the sentence would take over ten seconds, and the rest of the
    // line and the queued one would follow it.
    EXPECT_LT(seconds(audio::nonSilentSpan(afterEsc).last), 4.0);
    EXPECT_FALSE(audio::isNonSilent(std::span(afterEsc).last(2 * audio::SampleRate)));

    xdotool({ "key", "Escape" }); // with nothing playing
    xdotool({ "type", "--delay", "20", "hello again" });
    const auto next = hear([&] { xdotool({ "key", "Return" }); });
    std::printf(
        "Next line: heard %.0f ms after Enter\n", audio::nonSilentSpan(next).startSeconds() * 1000);
    EXPECT_GT(secondsOfSound(next), 0.4);
    EXPECT_LT(secondsOfSound(next), 3.0) << "only the new line";
}

TEST_F(RunningVocalo, KeysTypedAfterAPastedMegabyteShowAtItsEndAndItIsSpoken)
{
    greeting();
    const QImage empty(screenshot(*strip, "vocalo-before-paste"));
    QGuiApplication::clipboard()->setText(megabyteOfWords());
    clickIntoData();
    xdotool({ "key", "ctrl+v" });
    // The program asks this process for the clipboard's text.
    QImage pasted;
    ASSERT_TRUE(waitUntil(
        [&] {
            pasted = QImage(screenshot(*strip, "vocalo-pasted"));
            return changedInTheBox(empty, pasted) > PastedTextShows;
        },
        10000, 100))
        << "the pasted text never showed";
    xdotool({ "type", "--delay", "20", "WWW" });
    QImage typed;
    waitUntil(
        [&] {
            typed = QImage(screenshot(*strip, "vocalo-pasted-typed"));
            return changedInTheBox(pasted, typed) > 60;
        },
        5000, 100);
    // More than a blinking cursor: the line's end moved on by three letters.
    EXPECT_GT(changedInTheBox(pasted, typed), 60) << "the typed keys did not show";
    const std::size_t pressed = recorder.recordedSoFar();
    xdotool({ "key", "Return" });
    EXPECT_TRUE(soundStartsAfter(pressed)) << "the megabyte is spoken";
    xdotool({ "key", "Escape" });
    EXPECT_TRUE(vocalo.running());
}

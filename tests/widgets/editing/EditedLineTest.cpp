// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditedLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// The text with the cursor shown as | and a selection's other end as ^.
std::string shown(const EditedLine &line)
{
    QString text = line.text();
    if (line.hasSelection())
        text.insert(line.anchor(), QLatin1Char('^'));
    text.insert(line.cursor() + (line.hasSelection() && line.anchor() < line.cursor() ? 1 : 0),
        QLatin1Char('|'));
    return text.toStdString();
}

struct Walk
{
    const char *name;
    const char16_t *start; // the cursor starts at its end
    std::function<void(EditedLine &)> steps;
    const char16_t *expected; // with | and ^ as above
};

const Walk Walks[] = {
    { "BackspaceTakesAnEmojiWhole", u"hi\U0001F600", [](EditedLine &l) { l.backspace(); }, u"hi|" },
    { "BackspaceTakesOnlyTheAccent", u"cafe\u0301", [](EditedLine &l) { l.backspace(); },
        u"cafe|" },
    { "DeleteTakesTheLetterWithItsAccent", u"cafe\u0301!",
        [](EditedLine &l) {
            l.moveCursor(3, false);
            l.deleteForward();
        },
        u"caf|!" },
    { "ArrowsStepOverWholeLetters", u"a\U0001F1EB\U0001F1F7e\u0301",
        [](EditedLine &l) {
            l.moveByLetter(false, false);
            l.moveByLetter(false, false);
        },
        u"a|\U0001F1EB\U0001F1F7e\u0301" },
    { "WordStepsLandOnWordStarts", u"don't stop, now",
        [](EditedLine &l) {
            l.moveCursor(0, false);
            l.moveByWord(true, false);
            l.moveByWord(true, true);
        },
        u"don't ^stop, |now" },
    { "WordStepsBackAndWordDeletes", u"one two  three",
        [](EditedLine &l) {
            l.moveByWord(false, false);
            l.deleteWordBack();
        },
        u"one |three" },
    { "AnArrowStepsOnFromTheCursorAndDropsTheSelection", u"abcdef",
        [](EditedLine &l) {
            l.moveCursor(1, false);
            l.moveCursor(4, true);
            l.moveByLetter(false, false);
        },
        u"abc|def" },
    { "TypingReplacesTheSelection", u"hello world",
        [](EditedLine &l) {
            l.selectWordAt(8);
            l.type(QStringLiteral("there"));
        },
        u"hello there|" },
    { "DoubleClickBetweenWordsTakesTheWordBefore", u"hello, world",
        [](EditedLine &l) { l.selectWordAt(5); }, u"^hello|, world" },
    { "ALetterUnderHundredsOfMarksIsOneStep", u"x",
        [](EditedLine &l) {
            l.type(QString(300, QChar(0x0301)) + QStringLiteral("y"));
            l.moveCursor(0, false);
            l.moveByLetter(true, false);
        },
        nullptr },
};

class EditedLineWalks : public ::testing::TestWithParam<Walk>
{ };

TEST_P(EditedLineWalks, EndWhereADesktopLineEditEnds)
{
    const Walk &walk = GetParam();
    EditedLine line;
    line.setText(QString::fromUtf16(walk.start));
    walk.steps(line);
    if (walk.expected)
        EXPECT_EQ(shown(line), QString::fromUtf16(walk.expected).toStdString());
    else
        EXPECT_EQ(line.cursor(), 301) << "the letter and its marks are one step";
}

INSTANTIATE_TEST_SUITE_P(Editing, EditedLineWalks, ::testing::ValuesIn(Walks),
    [](const auto &info) { return std::string(info.param.name); });

TEST(EditedLine, UndoTakesBackWhatWasTypedOrPastedAStepAtATime)
{
    EditedLine line;
    line.insert(QStringLiteral("pasted "));
    for (const char c : std::string("typed on"))
        line.type(QString(QLatin1Char(c)));
    line.backspace();
    line.backspace();
    EXPECT_EQ(line.text(), "pasted typed ");
    line.undo();
    EXPECT_EQ(line.text(), "pasted typed on") << "the two backspaces go back together";
    line.undo();
    EXPECT_EQ(line.text(), "pasted ") << "the typed run goes back as one";
    line.moveCursor(0, false);
    line.moveCursor(6, true);
    line.type(QStringLiteral("P"));
    line.undo();
    EXPECT_EQ(shown(line), "^pasted| ") << "the replaced selection comes back selected";
    line.undo();
    EXPECT_EQ(line.text(), "");
    EXPECT_FALSE(line.canUndo());
    line.redo();
    line.redo();
    EXPECT_EQ(line.text(), "P ");
    line.type(QStringLiteral("!"));
    EXPECT_FALSE(line.canRedo()) << "a new edit ends what could be redone";
    line.setText(QStringLiteral("set"));
    EXPECT_FALSE(line.canUndo()) << "setting the text forgets the history";
}

TEST(EditedLine, HistoryForgetsTheOldestStepsPastItsSizeButKeepsTheNewest)
{
    EditedLine line;
    const qsizetype big = EditedLine::HistoryCharacters / 2 + 1;
    line.insert(QString(big, QLatin1Char('a')));
    line.insert(QString(big, QLatin1Char('b')));
    line.insert(QString(2 * big, QLatin1Char('c')));
    line.undo();
    EXPECT_EQ(line.size(), 2 * big);
    EXPECT_FALSE(line.canUndo()) << "the older pastes were forgotten";
    line.redo();
    EXPECT_EQ(line.size(), 4 * big) << "what was undone can still be redone";
}

TEST(EditedLine, LettersAreFoundAtTheEndOfAMegabyteAsAtItsStart)
{
    EditedLine line;
    const QString tail = QString::fromUtf16(u" e\u0301\U0001F600");
    line.setText(QString(1 << 20, QLatin1Char('x')) + tail);
    const int end = line.size();
    EXPECT_EQ(line.previousLetter(end), end - 2);
    EXPECT_EQ(line.previousLetter(end - 2), end - 4);
    EXPECT_EQ(line.nextLetter(end - 4), end - 2);
    EXPECT_EQ(line.nextLetter(end - 1), end) << "from inside a pair, to the end";
    EXPECT_EQ(line.previousWordStart(end), end - 4);
}

} // namespace

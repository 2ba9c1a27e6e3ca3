// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompletionSource.h"
#include "FrequencyModel.h"
#include "InlineCompletion.h"
#include "OfferBand.h"
#include "TextBox.h"
#include "WordCompletion.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The program's completion rules over what a conversation said, without the general list.
class Conversation : public CompletionSource
{
public:
    explicit Conversation(const QStringList &said)
    {
        for (const QString &line : said)
            m_completion.learn(line);
    }
    WordOffers offersFor(const QString &line) const override { return m_completion.offers(line); }

private:
    WordCompletion m_completion { std::make_unique<FrequencyModel>() };
};

// A key typed: text, or a key with its modifiers; Recall puts a line in as Up and Down do.
struct Key
{
    QString text;
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    bool recall = false;
};

Key keys(const char *text)
{
    return { QString::fromUtf8(text) };
}
Key press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return { {}, key, modifiers };
}
Key recall(const char *line)
{
    return { QString::fromUtf8(line), Qt::Key_unknown, Qt::NoModifier, true };
}

struct Row
{
    const char *what;
    QList<Key> typed;
    QString text;
    QString offered;
};

void PrintTo(const Row &row, std::ostream *out)
{
    *out << row.what;
}

class TextBoxSuggestionTest : public testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        window.resize(400, 40);
        box.setGeometry(8, 8, 353, 19);
        window.show();
    }

    Conversation conversation { { "Thank you so much.", "I'm in Manchester.", "שלום לך." } };
    QWidget window;
    TextBox box { &window };
    InlineCompletion completion { &box, &conversation };
};

TEST_P(TextBoxSuggestionTest, FollowsTheRules)
{
    const Row &row = GetParam();
    for (const Key &key : row.typed) {
        if (key.recall)
            box.setText(key.text);
        else if (!key.text.isEmpty())
            for (QChar c : key.text) {
                // QTest's key clicks know ASCII only.
                QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(&box, &typed);
            }
        else
            QTest::keyClick(&box, key.key, key.modifiers);
    }
    EXPECT_EQ(box.text(), row.text);
    EXPECT_EQ(box.suggestion(), row.offered);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box);
    EXPECT_EQ(accessible->text(QAccessible::Description),
        row.offered.isEmpty() ? "" : row.text.section(' ', -1) + row.offered)
        << "the whole word offered";
    EXPECT_EQ(accessible->textInterface()->text(0, int(row.text.size()) + 10), row.text)
        << "assistive technology reads only what was typed";
}

INSTANTIATE_TEST_SUITE_P(Rules, TextBoxSuggestionTest,
    testing::Values(Row { "offers the rest of the word", { keys("tha") }, "tha", "nk" },
        Row { "Tab takes it and a space, then offers the next word",
            { keys("tha"), press(Qt::Key_Tab) }, "thank ", "you" },
        Row { "Right takes it without the space", { keys("tha"), press(Qt::Key_Right) }, "thank",
            "" },
        Row { "case follows the letters typed", { keys("THA"), press(Qt::Key_Tab) }, "THANK ",
            "YOU" },
        Row { "a name keeps its capitals", { keys("in man"), press(Qt::Key_Tab) }, "in Manchester ",
            "" },
        Row { "nothing inside a word", { keys("tha"), press(Qt::Key_Left) }, "tha", "" },
        Row { "so Tab there does not type it",
            { keys("tha"), press(Qt::Key_Left), press(Qt::Key_Tab) }, "tha", "" },
        Row { "one undo takes the word back",
            { keys("tha"), press(Qt::Key_Tab), press(Qt::Key_Z, Qt::ControlModifier) }, "tha",
            "nk" },
        Row { "nothing after a recall", { recall("thank you"), press(Qt::Key_Tab) }, "thank you",
            "" },
        Row { "until a key is typed", { recall("thank you"), keys(" s") }, "thank you s", "o" },
        Row { "nothing in a right-to-left line", { keys("של") }, "של", "" },
        Row { "other keys go on as before", { keys("tha"), keys("w") }, "thaw", "" }));

TEST_F(TextBoxSuggestionTest, IsDrawnDimmedAfterTheCursorAndNeverCopied)
{
    QTest::keyClicks(&box, "Tha");
    const QImage offered = box.grab().toImage();
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Tha");
    EXPECT_TRUE(box.suggestion().isEmpty()) << "a selection takes the suggestion away";
    box.setCursorPosition(3);
    const QImage typedOnly = box.grab().toImage();

    // Where the two differ is the suggestion: right of the typed letters, and no darker than
    // the palette's placeholder colour.
    const int typedEnd = box.characterRect(2).right();
    const int dimmest = box.palette().color(QPalette::PlaceholderText).lightness();
    int columns = 0;
    for (int x = 0; x < offered.width(); ++x) {
        bool differs = false;
        for (int y = 0; y < offered.height(); ++y) {
            if (offered.pixel(x, y) == typedOnly.pixel(x, y))
                continue;
            differs = true;
            EXPECT_GT(x, typedEnd);
            EXPECT_GE(offered.pixelColor(x, y).lightness(), dimmest - 8);
        }
        columns += differs;
    }
    EXPECT_GT(columns, 8) << "the rest of \"Thank\" is drawn";
}

} // namespace

// Three words for whatever ends in "he", as a source with a model of English offers them.
class ThreeWords : public CompletionSource
{
public:
    WordOffers offersFor(const QString &line) const override
    {
        if (!line.endsWith(u"he"))
            return {};
        return { 2, { "hello", "help", "here" } };
    }
};

class OfferRowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(369, 19);
        box.setGeometry(8, 0, 353, 19);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        box.setFocus();
        QTest::keyClicks(&box, "I said he");
    }

    QAbstractButton *word(int n)
    {
        return row.findChild<QAbstractButton *>(QString("Offer%1").arg(n));
    }

    ThreeWords source;
    QWidget window;
    TextBox box { &window };
    InlineCompletion completion { &box, &source };
    OfferBand row { &box };
};

TEST_F(OfferRowTest, ShowsTheOffersInOrderAndEachKeyOrClickTakesItsWordAsOneUndoableEdit)
{
    ASSERT_TRUE(row.isVisible());
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box);
    EXPECT_EQ(accessible->text(QAccessible::Description), "hello, help, here");
    for (int n = 1; n <= 3; ++n) {
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(word(n));
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->text(QAccessible::Name), box.offers().words.at(n - 1));
    }
    const struct
    {
        std::function<void()> pick;
        QString text;
    } picks[] = {
        { [&] { QTest::keyClick(&box, Qt::Key_F1); }, "I said hello " },
        { [&] { QTest::keyClick(&box, Qt::Key_F2); }, "I said help " },
        { [&] { QTest::keyClick(&box, Qt::Key_F3); }, "I said here " },
        { [&] { QTest::mouseClick(word(3), Qt::LeftButton); }, "I said here " },
    };
    for (const auto &pick : picks) {
        pick.pick();
        EXPECT_EQ(box.text(), pick.text);
        EXPECT_TRUE(box.hasFocus()) << "the keyboard stays in the box";
        EXPECT_FALSE(row.isVisible()) << "nothing offered after the word taken";
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(box.text(), "I said he") << "one undo takes the word back";
        EXPECT_TRUE(row.isVisible()) << "and the offers with it";
    }
    box.setEnabled(false);
    EXPECT_FALSE(row.isVisible()) << "hidden while the box cannot take a word";
}

TEST(OfferRowPlace, IsUnderTheStripAndAboveItWhereTheScreenEnds)
{
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(OfferBand::placeFor(QRect(100, 500, 369, 19), 19, screen), QRect(100, 519, 369, 19));
    EXPECT_EQ(OfferBand::placeFor(QRect(100, 1000, 369, 19), 19, screen), QRect(100, 981, 369, 19));
    EXPECT_EQ(OfferBand::placeFor(QRect(100, 986, 369, 19), 19, screen), QRect(100, 1005, 369, 19))
        << "just fits";
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextBox.h"

#include "PastedText.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextCharFormat>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QRect Place(8, 8, 353, 19); // the strip's box

// A box on the test's window, in the strip's font, unfocused so that no cursor blinks.
template <typename Box>
std::unique_ptr<Box> newBox(QWidget &window, const QString &text)
{
    auto box = std::make_unique<Box>(&window);
    QFont font(QStringLiteral("OCR A Extended"));
    font.setPointSize(9);
    box->setFont(font);
    box->setGeometry(Place);
    box->setText(text);
    box->show();
    return box;
}

// A window of its own for the boxes of each test.
class TextBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(400, 40);
        window.show();
    }

    QWidget window;
};

QImage look(QWidget &box)
{
    return box.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST_F(TextBoxTest, LooksLikeQtsLineEditForTextThatFits)
{
    for (const QString &text : { QString(), QStringLiteral("Hello there,\n\r\x01 123!"),
             QStringLiteral("A line wider than the box it is typed into, so it scrolls on") }) {
        auto ours = newBox<TextBox>(window, text);
        auto qts = newBox<QLineEdit>(window, text);
        qts->setCursorPosition(text.size() > 40 ? 0 : int(text.size()));
        ours->setCursorPosition(qts->cursorPosition());
        EXPECT_EQ(look(*ours), look(*qts)) << text.toStdString();
        ours->setEnabled(false);
        qts->setEnabled(false);
        EXPECT_EQ(look(*ours), look(*qts)) << "disabled: " << text.toStdString();
    }
}

// A Hebrew or Arabic word in an English line, and the other way round, with the cursor at either
// end and inside: shown in the order, and with the cursor, that Qt's line edit shows.
TEST_F(TextBoxTest, LooksLikeQtsLineEditForMixedDirections)
{
    QApplication::setActiveWindow(&window);
    for (const QString &text : { QString::fromUtf16(u"Say \u05E9\u05DC\u05D5\u05DD to them"),
             QString::fromUtf16(u"\u0645\u0631\u062D\u0628\u0627 means hello"),
             QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD"),
             QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD ").repeated(12) }) {
        for (const int cursor : { 0, 6, int(text.size()) }) {
            auto ours = newBox<TextBox>(window, text);
            auto qts = newBox<QLineEdit>(window, text);
            ours->setCursorPosition(cursor);
            qts->setCursorPosition(cursor);
            ours->setFocus();
            const QImage ourLook = look(*ours);
            qts->setFocus();
            EXPECT_EQ(ourLook, look(*qts)) << text.toStdString() << " at " << cursor;
        }
    }
}

// The arrows follow the screen: in a right-to-left line Left steps on into the text, as in Qt's
// line edit, with Shift, with Ctrl, and from a selection.
TEST_F(TextBoxTest, ArrowsMoveTheCursorAsInQtsLineEditInBothDirections)
{
    using Keys = QList<std::pair<Qt::Key, Qt::KeyboardModifiers>>;
    const Qt::KeyboardModifiers none = Qt::NoModifier, shift = Qt::ShiftModifier,
                                ctrl = Qt::ControlModifier;
    const Keys presses[] = {
        { { Qt::Key_Home, none }, { Qt::Key_Left, none } },
        { { Qt::Key_Home, none }, { Qt::Key_Right, none } },
        { { Qt::Key_End, none }, { Qt::Key_Left, none }, { Qt::Key_Left, none } },
        { { Qt::Key_End, none }, { Qt::Key_Right, none } },
        { { Qt::Key_Home, none }, { Qt::Key_Left, ctrl } },
        { { Qt::Key_End, none }, { Qt::Key_Right, ctrl } },
        { { Qt::Key_Home, none }, { Qt::Key_Left, shift }, { Qt::Key_Left, shift } },
        { { Qt::Key_Home, none }, { Qt::Key_Left, shift | ctrl }, { Qt::Key_Right, none } },
        { { Qt::Key_End, none }, { Qt::Key_Right, shift }, { Qt::Key_Left, none } },
        { { Qt::Key_Home, none }, { Qt::Key_Right, shift }, { Qt::Key_Right, shift },
            { Qt::Key_Right, none } },
        // Folded on the X11 desktops, stepped on from the cursor in Windows' scheme (offscreen).
        { { Qt::Key_Home, none }, { Qt::Key_End, shift }, { Qt::Key_Left, none } },
        { { Qt::Key_End, none }, { Qt::Key_Home, shift }, { Qt::Key_Right, none } },
        { { Qt::Key_Home, none }, { Qt::Key_Right, shift | ctrl }, { Qt::Key_Left, none } },
    };
    for (const QString &text :
        { QStringLiteral("two words"), QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD \u05DC\u05DA"),
            QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD to you") }) {
        auto ours = newBox<TextBox>(window, text);
        auto qts = newBox<QLineEdit>(window, text);
        for (std::size_t row = 0; row < std::size(presses); ++row) {
            for (const auto &[key, modifiers] : presses[row]) {
                QTest::keyClick(ours.get(), key, modifiers);
                QTest::keyClick(qts.get(), key, modifiers);
            }
            EXPECT_EQ(ours->cursorPosition(), qts->cursorPosition())
                << text.toStdString() << ", row " << row;
            EXPECT_EQ(ours->selectedText(), qts->selectedText())
                << text.toStdString() << ", row " << row;
        }
    }
}

TEST_F(TextBoxTest, ShowsTheEndOfAMegabyteAsItWouldShowThatEndAloneAndGoesHome)
{
    const QString text = megabyteOfWords();
    auto box = newBox<TextBox>(window, text);
    box->setFocus();
    QTest::keyClicks(box.get(), "xyz");
    ASSERT_EQ(box->text(), text + "xyz");
    box->clearFocus();
    const int first = box->firstShownPosition();
    EXPECT_GT(first, text.size() - 100) << "the cursor's end is shown";
    auto tail = newBox<TextBox>(window, box->text().mid(first));
    EXPECT_EQ(tail->firstShownPosition(), 0);
    EXPECT_EQ(look(*box), look(*tail));

    box->setFocus();
    QTest::keyClick(box.get(), Qt::Key_Home);
    EXPECT_EQ(box->firstShownPosition(), 0);
    box->clearFocus();
    auto head = newBox<TextBox>(window, text.left(200));
    head->setCursorPosition(0);
    EXPECT_EQ(look(*box), look(*head));
}

TEST_F(TextBoxTest, EditsWithTheDesktopsKeysAndClipboard)
{
    QApplication::setActiveWindow(&window);
    auto box = newBox<TextBox>(window, QString());
    box->setFocus();
    QSignalSpy edited(box.get(), &TextBox::textEdited);
    QSignalSpy returned(box.get(), &TextBox::returnPressed);

    QTest::keyClicks(box.get(), "hello world");
    EXPECT_EQ(edited.size(), 11);
    QTest::keyClick(box.get(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box->selectedText(), "world");
    QTest::keyClick(box.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "world");
    QTest::keyClick(box.get(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "hello worldworld");
    const qsizetype editsBefore = edited.size();
    QTest::keyClick(box.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "hello world");
    EXPECT_EQ(edited.size(), editsBefore + 1) << "one undo, one change";
    QTest::keyClick(box.get(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box.get(), Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "");
    QTest::keyClick(box.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "hello world");
    QTest::keyClick(box.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box->text(), "");

    // Keys the box has no use for go on to the window.
    int reachedWindow = 0;
    struct Counter : QObject
    {
        int *count;
        bool eventFilter(QObject *, QEvent *event) override
        {
            *count += event->type() == QEvent::KeyPress;
            return false;
        }
    } counter;
    counter.count = &reachedWindow;
    window.installEventFilter(&counter);
    QTest::keyClick(box.get(), Qt::Key_Return);
    QTest::keyClick(box.get(), Qt::Key_Escape);
    QTest::keyClick(box.get(), Qt::Key_Up);
    EXPECT_EQ(returned.size(), 1);
    EXPECT_EQ(reachedWindow, 3);
    QTest::keyClick(box.get(), Qt::Key_Q);
    EXPECT_EQ(reachedWindow, 3) << "typed text stays in the box";
}

TEST_F(TextBoxTest, MouseSetsTheCursorAndSelectsWords)
{
    auto box = newBox<TextBox>(window, QStringLiteral("speak these words"));
    const int middle = Place.height() / 2;
    QTest::mouseClick(box.get(), Qt::LeftButton, {}, QPoint(3, middle));
    EXPECT_EQ(box->cursorPosition(), 0);
    const int inThese = box->fontMetrics().horizontalAdvance(QStringLiteral("speak th")) + 4;
    QTest::mouseDClick(box.get(), Qt::LeftButton, {}, QPoint(inThese, middle));
    EXPECT_EQ(box->selectedText(), "these");
    QTest::mousePress(box.get(), Qt::LeftButton, {}, QPoint(3, middle));
    QTest::mouseMove(box.get(), QPoint(box->width() - 3, middle));
    QTest::mouseRelease(box.get(), Qt::LeftButton, {}, QPoint(box->width() - 3, middle));
    EXPECT_EQ(box->selectedText(), box->text());
}

TEST_F(TextBoxTest, InputMethodsComposeAtTheCursorAndSeeOnlyTheTextNearIt)
{
    const QString text = megabyteOfWords();
    auto box = newBox<TextBox>(window, text);
    QInputMethodEvent composing(QStringLiteral("ka"), {});
    QApplication::sendEvent(box.get(), &composing);
    EXPECT_EQ(box->text(), text) << "unfinished input is only shown";
    QInputMethodEvent done;
    done.setCommitString(QString::fromUtf16(u"\u304B"));
    QApplication::sendEvent(box.get(), &done);
    EXPECT_EQ(box->text(), text + QString::fromUtf16(u"\u304B"));

    const QString around = box->inputMethodQuery(Qt::ImSurroundingText).toString();
    const int cursor = box->inputMethodQuery(Qt::ImCursorPosition).toInt();
    EXPECT_LE(around.size(), 4096);
    EXPECT_TRUE(around.endsWith(QString::fromUtf16(u"on. \u304B")));
    EXPECT_EQ(cursor, around.size());
}

// A click into unfinished input is the input method's: nothing moves. A click beside it ends the
// composition and places the cursor. Step by step the box shows what Qt's line edit shows.
TEST_F(TextBoxTest, AClickDuringACompositionDoesWhatItDoesInQtsLineEdit)
{
    QApplication::setActiveWindow(&window);
    const QString text = QStringLiteral("hello world");
    auto ours = newBox<TextBox>(window, text);
    auto qts = newBox<QLineEdit>(window, text);
    const int middle = Place.height() / 2;
    const int inComposition = ours->fontMetrics().horizontalAdvance(text + "k") + 4;
    const int inHello = ours->fontMetrics().horizontalAdvance(QStringLiteral("he")) + 4;
    struct Step
    {
        const char *what;
        std::function<void(QWidget &)> act;
        int cursor;
    };
    const Step steps[] = {
        { "composing",
            [](QWidget &box) {
                box.setFocus();
                // As input methods send it: underlined, the cursor at its end.
                QTextCharFormat underlined;
                underlined.setFontUnderline(true);
                QInputMethodEvent composing(QStringLiteral("kana"),
                    { { QInputMethodEvent::TextFormat, 0, 4, underlined },
                        { QInputMethodEvent::Cursor, 4, 1, QVariant() } });
                QApplication::sendEvent(&box, &composing);
            },
            11 },
        { "a click into the composition",
            [&](QWidget &box) {
                QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(inComposition, middle));
            },
            11 },
        { "a click beside it",
            [&](QWidget &box) {
                QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(inHello, middle));
            },
            2 },
    };
    for (const Step &step : steps) {
        step.act(*ours);
        const QImage ourLook = look(*ours);
        step.act(*qts);
        EXPECT_EQ(ourLook, look(*qts)) << step.what;
        EXPECT_EQ(ours->cursorPosition(), step.cursor) << step.what;
        EXPECT_EQ(qts->cursorPosition(), step.cursor) << step.what;
        EXPECT_EQ(ours->text(), text) << step.what;
    }
}

TEST_F(TextBoxTest, ScreenReadersReadAndEditItAsEditableText)
{
    const QString text = megabyteOfWords();
    auto box = newBox<TextBox>(window, text);
    box->setAccessibleName(QStringLiteral("Text to speak"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(box.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Text to speak");
    EXPECT_TRUE(accessible->state().editable);
    QAccessibleTextInterface *reading = accessible->textInterface();
    ASSERT_NE(reading, nullptr);
    EXPECT_EQ(reading->characterCount(), text.size());
    EXPECT_EQ(reading->cursorPosition(), text.size());
    EXPECT_EQ(reading->text(0, 9), "Here are ");
    EXPECT_TRUE(reading->characterRect(0).isEmpty()) << "scrolled out of sight";
    const QRect last = reading->characterRect(int(text.size()) - 2);
    EXPECT_FALSE(last.isEmpty());
    EXPECT_EQ(reading->offsetAtPoint(last.center()), text.size() - 2);

    reading->setSelection(0, 5, 8);
    EXPECT_EQ(box->selectedText(), "are");
    QAccessibleEditableTextInterface *editing = accessible->editableTextInterface();
    ASSERT_NE(editing, nullptr);
    editing->replaceText(0, 4, QStringLiteral("There"));
    EXPECT_TRUE(box->text().startsWith("There are ten"));
    QTest::keyClick(box.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), text) << "an edit by a screen reader is undone like any other";
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Qt hands accessibility events on only while a bridge is active, so this runs on a desktop with
// its accessibility bus; the handler installed here takes the events before the bridge does.
#include "TextBox.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class TextBoxAccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(400, 40);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The bridge turns active once it has reached the accessibility bus.
        ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
            << "no accessibility bridge is listening";
    }

    QWidget window;
};

// What a screen reader is told of each kind of edit: the text inserted or removed, where (in
// UTF-16 units, as the Text interface counts), and the caret after it.
TEST_F(TextBoxAccessibilityTest, TellsAssistiveTechnologyEveryEditWithItsTextAndOffset)
{
    static QStringList told;
    told.clear();
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(
        [](QAccessibleEvent *event) {
            switch (event->type()) {
            case QAccessible::TextInserted: {
                const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
                told << QStringLiteral("insert %1 %2")
                            .arg(e->changePosition())
                            .arg(e->textInserted());
                break;
            }
            case QAccessible::TextRemoved: {
                const auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
                told << QStringLiteral("remove %1 %2")
                            .arg(e->changePosition())
                            .arg(e->textRemoved());
                break;
            }
            case QAccessible::TextUpdated: {
                const auto *e = static_cast<QAccessibleTextUpdateEvent *>(event);
                told << QStringLiteral("replace %1 %2 by %3")
                            .arg(e->changePosition())
                            .arg(e->textRemoved(), e->textInserted());
                break;
            }
            case QAccessible::TextCaretMoved:
                told << QStringLiteral("caret %1")
                            .arg(
                                static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition());
                break;
            default:
                break;
            }
        });
    QApplication::setActiveWindow(&window);
    auto box = std::make_unique<TextBox>(&window);
    box->setGeometry(8, 8, 353, 19);
    box->show();
    box->setFocus();
    const QString smile = QString::fromUtf16(u"\U0001F600");
    struct Row
    {
        const char *what;
        std::function<void()> act;
        QStringList expected;
    };
    const Row rows[] = {
        { "setText", [&] { box->setText(QStringLiteral("hi there")); },
            { "insert 0 hi there", "caret 8" } },
        { "Ctrl+Backspace",
            [&] { QTest::keyClick(box.get(), Qt::Key_Backspace, Qt::ControlModifier); },
            { "remove 3 there", "caret 3" } },
        { "typing", [&] { QTest::keyClicks(box.get(), "yo"); },
            { "insert 3 y", "caret 4", "insert 4 o", "caret 5" } },
        { "undo", [&] { box->undo(); }, { "remove 3 yo", "caret 3" } },
        { "redo", [&] { box->redo(); }, { "insert 3 yo", "caret 5" } },
        { "Home, Delete",
            [&] {
                QTest::keyClick(box.get(), Qt::Key_Home);
                QTest::keyClick(box.get(), Qt::Key_Delete);
            },
            { "caret 0", "remove 0 h" } },
        { "a character outside the BMP, and Backspace",
            [&] {
                QTest::keyClick(box.get(), Qt::Key_End);
                QInputMethodEvent commit;
                commit.setCommitString(smile);
                QApplication::sendEvent(box.get(), &commit);
                QTest::keyClick(box.get(), Qt::Key_Backspace);
            },
            { "caret 4", "insert 4 " + smile, "caret 6", "remove 4 " + smile, "caret 4" } },
        { "cut",
            [&] {
                box->setSelection(0, 2);
                box->cut();
            },
            { "remove 0 i ", "caret 0" } },
        { "paste over a selection",
            [&] {
                box->selectAll();
                QApplication::clipboard()->setText(QStringLiteral("new"));
                QTest::keyClick(box.get(), Qt::Key_V, Qt::ControlModifier);
            },
            { "replace 0 yo by new", "caret 3" } },
        { "Enter clears it", [&] { box->clear(); }, { "remove 0 new", "caret 0" } },
    };
    for (const Row &row : rows) {
        told.clear();
        row.act();
        EXPECT_EQ(told, row.expected) << row.what;
    }
    QAccessible::installUpdateHandler(previous);
}

} // namespace

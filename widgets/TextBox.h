// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EditedLine.h"
#include "TextLineView.h"
#include "WordOffers.h"

#include <QBasicTimer>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QWidget>

class QPainter;
class QStyleOptionFrame;

// A one-line text box without a length limit. It edits like the desktop's own line edits
// (selection, clipboard, undo, word steps, input methods, a context menu) but lays out only
// the stretch of text it shows: a keystroke in a pasted megabyte echoes as fast as in an empty
// box, where Qt's line edit lays the whole line out again on every key.
class TextBox : public QWidget
{
    Q_OBJECT
public:
    explicit TextBox(QWidget *parent = nullptr);
    ~TextBox() override;

    QString text() const { return m_line.text(); }
    // Forgets the undo history and puts the cursor at the end, as Qt's line edit does.
    void setText(const QString &text);
    void clear() { setText(QString()); }

    int cursorPosition() const { return m_line.cursor(); }
    void setCursorPosition(int position);
    // The selection's other end; the cursor's position when nothing is selected.
    int anchorPosition() const { return m_line.anchor(); }
    // Selects `length` characters from `start`, leaving the cursor at their end.
    void setSelection(int start, int length);
    // Replaces `length` characters from `position`, as an edit that can be undone.
    void replace(int position, int length, const QString &text);
    bool hasSelectedText() const { return m_line.hasSelection(); }
    QString selectedText() const { return m_line.selectedText(); }
    // The position of the first character at the box's left edge.
    int firstShownPosition() const { return m_view.firstShown(); }
    // The position nearest to a point of the box, and where a character is drawn (an empty
    // rectangle when it is scrolled out of sight).
    int positionAt(QPointF point) const;
    // Where a point of the box falls in the input method's unfinished text; -1 outside it.
    int preeditOffsetAt(QPointF point) const;
    QRect characterRect(int position) const;

    // Whether the input method is composing at the cursor.
    bool isComposing() const { return m_line.composing(); }

    // A box that offers words (see InlineCompletion) keeps Tab for taking them, with or without
    // an offer.
    void setOffersWords(bool offers) { m_offersWords = offers; }
    // The words to offer for the end of the line, until the next edit or cursor move. The first
    // is drawn dimmed after the cursor, Tab writes it with a space and Right alone; F1 to F3 write
    // the first to the third with a space. Words no longer than what they replace are dropped.
    void setOffers(const WordOffers &offers);
    const WordOffers &offers() const { return m_offers; }
    // Writes the offer at index and, withSpace, a space after it, as one edit the user made.
    // False when there is no such offer or the cursor is not at the end of the line.
    bool takeOffer(qsizetype index, bool withSpace = true);
    // The rest of the first word offered, drawn after the cursor; not part of the text.
    QString suggestion() const;
    // The first word offered, as Tab would write it; empty when nothing is offered.
    QString offeredWord() const { return m_offers.isEmpty() ? QString() : m_offers.words.first(); }
    // The word last taken from the offers.
    QString lastPick() const { return m_lastPick; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    void selectAll();
    void undo();
    void redo();
    void cut();
    void copy() const;
    void paste();

signals:
    void textChanged(const QString &text);
    // Only for changes the user made, not for setText().
    void textEdited(const QString &text);
    void cursorPositionChanged(int oldPosition, int newPosition);
    void selectionChanged();
    // The key itself is ignored and goes on to the parent, as a line edit's does.
    void returnPressed();
    // The words offered changed: new ones, or none.
    void offersChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Who made a change: the user's changes signal textEdited() and offer a selection to the
    // middle button; the program's do not.
    enum class By { Program, User };
    struct Snapshot
    {
        quint64 revision;
        quint64 shown;
        int cursor;
        int anchor;
    };

    // The one way the line changes: `change` acts on the editing model, then the box scrolls,
    // redraws, signals and tells assistive technology whatever changed. Anything that must
    // follow every edit (the input method's view, a suggestion shown in the box) belongs in
    // settle().
    template <typename Change>
    void edit(By by, Change &&change)
    {
        const Snapshot before { m_line.revision(), m_line.shownRevision(), m_line.cursor(),
            m_line.anchor() };
        change(m_line);
        settle(before, by);
    }
    void settle(const Snapshot &before, By by);
    void tellAssistiveTools(
        const EditedLine::Change *change, bool cursorMoved, bool selectionChanged);
    // Whether the key is one of the editing keys; with `apply`, also carries it out.
    bool editingKey(QKeyEvent *event, bool apply);
    void pasteFrom(QClipboard::Mode mode);
    // A click while the input method composes goes to the input method, as in Qt's line edit:
    // inside the unfinished text it is the input method's to handle; elsewhere the text is
    // committed first. Returns whether the click was the input method's.
    bool clickForInputMethod(QMouseEvent *event);
    // Ends a composition: the input method is asked to commit it (or to forget it), and what it
    // leaves unfinished is dropped.
    void endComposition(bool commit);

    // Shows offers that replace what was offered before: redraws, signals and tells a screen
    // reader of a first word it has not heard.
    void showOffers(const WordOffers &before);
    // Tab, F1 to F3 and, at the end of the line, Right take an offer; a box that offers words
    // keeps Tab whether or not it takes one. Returns whether the key was used.
    bool offerKey(const QKeyEvent *event);
    // Takes an offer; announce tells a screen reader which word was written where the key that
    // took it gives the reader no cause to say so itself (Orca says what Tab writes, as it does
    // for the completions of other programs, but not what a function key or a click writes).
    bool takeOffer(qsizetype index, bool withSpace, bool announce);
    void drawSuggestion(QPainter &painter, QPointF baseline) const;

    void initStyleOption(QStyleOptionFrame *option) const;
    // The text's row inside the frame.
    QRect lineRect() const;
    void scrollToCursor();
    QRect cursorRect() const;
    int cursorWidth() const;
    int surroundingStart() const;
    void restartBlinking();
    void offerSelection() const;

    EditedLine m_line;
    TextLineView m_view { m_line };
    QBasicTimer m_blink;
    bool m_cursorOn = false;
    bool m_selectingWithMouse = false;
    bool m_offersWords = false;
    // Set while an edit settles: offers made in answer to it replace the old ones once it has.
    bool m_settling = false;
    WordOffers m_offers;
    QString m_lastPick;
    // Set by a pick to be announced once the edit's own events have been told.
    bool m_announcePick = false;
};

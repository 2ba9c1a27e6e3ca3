// SPDX-License-Identifier: GPL-3.0-or-later
// The text box's input: keys, input methods, the mouse, drag and drop and the context menu.
#include "TextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>

#include <algorithm>

namespace {

// How much text around the cursor an input method gets to see.
constexpr int SurroundingCharacters = 1024;

bool isTypedText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    // Ctrl with a letter is a command; Ctrl with Alt is AltGr on many keyboards.
    const Qt::KeyboardModifiers commands
        = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (commands == Qt::ControlModifier || commands == Qt::MetaModifier)
        return false;
    const QList<uint> codePoints = text.toUcs4();
    return std::all_of(
        codePoints.begin(), codePoints.end(), [](uint c) { return QChar::isPrint(c); });
}

// Whether an arrow folds a selection to its end rather than stepping on from the cursor. Qt keeps
// the desktop's keyboard scheme to itself; of its schemes, only the X11 family (X11, KDE and
// GNOME), whose line edits fold, binds a key to Deselect.
bool arrowsFoldSelections()
{
    static const bool folds = !QKeySequence::keyBindings(QKeySequence::Deselect).isEmpty();
    return folds;
}

// The clipboard's keys act on the box itself; every other key is a step of the line.
struct Command
{
    QKeySequence::StandardKey key;
    void (*run)(TextBox &box);
};
const Command commands[] = {
    { QKeySequence::Copy, [](TextBox &box) { box.copy(); } },
    { QKeySequence::Cut, [](TextBox &box) { box.cut(); } },
    { QKeySequence::Paste, [](TextBox &box) { box.paste(); } },
};
struct Binding
{
    QKeySequence::StandardKey key;
    void (*step)(EditedLine &line);
};
const Binding bindings[] = {
    { QKeySequence::Undo, [](EditedLine &l) { l.undo(); } },
    { QKeySequence::Redo, [](EditedLine &l) { l.redo(); } },
    { QKeySequence::SelectAll, [](EditedLine &l) { l.selectAll(); } },
    { QKeySequence::MoveToStartOfLine, [](EditedLine &l) { l.moveCursor(0, false); } },
    { QKeySequence::MoveToStartOfBlock, [](EditedLine &l) { l.moveCursor(0, false); } },
    { QKeySequence::SelectStartOfLine, [](EditedLine &l) { l.moveCursor(0, true); } },
    { QKeySequence::SelectStartOfBlock, [](EditedLine &l) { l.moveCursor(0, true); } },
    { QKeySequence::MoveToEndOfLine, [](EditedLine &l) { l.moveCursor(l.size(), false); } },
    { QKeySequence::MoveToEndOfBlock, [](EditedLine &l) { l.moveCursor(l.size(), false); } },
    { QKeySequence::SelectEndOfLine, [](EditedLine &l) { l.moveCursor(l.size(), true); } },
    { QKeySequence::SelectEndOfBlock, [](EditedLine &l) { l.moveCursor(l.size(), true); } },
    { QKeySequence::Delete, [](EditedLine &l) { l.deleteForward(); } },
    { QKeySequence::DeleteEndOfWord, [](EditedLine &l) { l.deleteWordForward(); } },
    { QKeySequence::DeleteStartOfWord, [](EditedLine &l) { l.deleteWordBack(); } },
    { QKeySequence::DeleteEndOfLine,
        [](EditedLine &l) {
            l.moveCursor(l.size(), true);
            l.removeSelection();
        } },
    { QKeySequence::DeleteCompleteLine,
        [](EditedLine &l) {
            l.selectAll();
            l.removeSelection();
        } },
    { QKeySequence::Backspace, [](EditedLine &l) { l.backspace(); } },
};

// The arrows follow the screen: in a line laid out right to left, Left steps on into the
// text, as in Qt's line edit.
struct Arrow
{
    QKeySequence::StandardKey key;
    bool right;
    bool word;
    bool select;
};
const Arrow arrows[] = {
    { QKeySequence::MoveToNextChar, true, false, false },
    { QKeySequence::SelectNextChar, true, false, true },
    { QKeySequence::MoveToPreviousChar, false, false, false },
    { QKeySequence::SelectPreviousChar, false, false, true },
    { QKeySequence::MoveToNextWord, true, true, false },
    { QKeySequence::SelectNextWord, true, true, true },
    { QKeySequence::MoveToPreviousWord, false, true, false },
    { QKeySequence::SelectPreviousWord, false, true, true },
};

} // namespace

bool TextBox::editingKey(QKeyEvent *event, bool apply)
{
    for (const Command &command : commands) {
        if (event->matches(command.key)) {
            if (apply)
                command.run(*this);
            return true;
        }
    }
    for (const Arrow &arrow : arrows) {
        if (!event->matches(arrow.key))
            continue;
        const bool forward = arrow.right == m_view.rightIsForward();
        if (apply)
            edit(By::User, [&](EditedLine &l) {
                if (arrow.word)
                    l.moveByWord(forward, arrow.select);
                else if (!arrow.select && l.hasSelection() && arrowsFoldSelections())
                    l.foldSelection(arrow.right);
                else
                    l.moveByLetter(forward, arrow.select);
            });
        return true;
    }
    for (const Binding &binding : bindings) {
        if (event->matches(binding.key)) {
            if (apply)
                edit(By::User, binding.step);
            return true;
        }
    }
    // Shift+Backspace is still Backspace.
    if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
        if (apply)
            edit(By::User, [](EditedLine &l) { l.backspace(); });
        return true;
    }
    if (!isTypedText(event))
        return false;
    if (apply)
        edit(By::User, [&](EditedLine &l) { l.type(event->text()); });
    return true;
}

bool TextBox::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress && offerKey(static_cast<QKeyEvent *>(event)))
        return true;
    // The box's own keys win over any shortcut of the window.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (editingKey(key, false)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit returnPressed();
        event->ignore();
        return;
    }
    if (!editingKey(event, true)) {
        event->ignore();
        return;
    }
    event->accept();
}

void TextBox::inputMethodEvent(QInputMethodEvent *event)
{
    edit(By::User, [&](EditedLine &line) {
        // Selections come as positions in the surrounding text the input method was given.
        const int surrounding = surroundingStart();
        if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
            if (line.hasSelection() && event->replacementLength() == 0)
                line.insert(event->commitString());
            else
                line.replace(line.cursor() + event->replacementStart(), event->replacementLength(),
                    event->commitString());
        }
        EditedLine::Composition composition { event->preeditString(),
            int(event->preeditString().size()), {} };
        for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor)
                composition.cursor = attribute.start;
            if (attribute.type == QInputMethodEvent::TextFormat)
                composition.formats.append({ attribute.start, attribute.length, attribute.value });
            if (attribute.type == QInputMethodEvent::Selection && composition.text.isEmpty()) {
                const int start = surrounding + attribute.start;
                line.moveCursor(start, false);
                line.moveCursor(start + attribute.length, true);
            }
        }
        line.compose(std::move(composition));
    });
    event->accept();
}

QVariant TextBox::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const int cursor = m_line.cursor();
    const int from = surroundingStart();
    const int to = std::min(m_line.size(), cursor + SurroundingCharacters);
    switch (query) {
    case Qt::ImEnabled:
        return isEnabled();
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle:
        return cursorRect();
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return cursor - from;
    case Qt::ImAnchorPosition:
        return std::clamp(m_line.anchor(), from, to) - from;
    case Qt::ImSurroundingText:
        return m_line.text().mid(from, to - from);
    case Qt::ImCurrentSelection:
        return m_line.selectedText();
    case Qt::ImAbsolutePosition:
        return cursor;
    case Qt::ImTextBeforeCursor:
        return m_line.text().mid(from, cursor - from);
    case Qt::ImTextAfterCursor:
        return m_line.text().mid(cursor, to - cursor);
    case Qt::ImHints:
        return int(inputMethodHints());
    default:
        return QWidget::inputMethodQuery(query);
    }
}

int TextBox::surroundingStart() const
{
    return m_line.previousLetter(std::max(0, m_line.cursor() - SurroundingCharacters) + 1);
}

bool TextBox::clickForInputMethod(QMouseEvent *event)
{
    if (!m_line.composing())
        return false;
    const int inPreedit = preeditOffsetAt(event->position());
    if (inPreedit < 0) {
        endComposition(true);
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease)
        QGuiApplication::inputMethod()->invokeAction(QInputMethod::Click, inPreedit);
    return true;
}

void TextBox::mousePressEvent(QMouseEvent *event)
{
    if (clickForInputMethod(event))
        return event->accept();
    const int position = positionAt(event->position());
    if (event->button() == Qt::LeftButton) {
        m_selectingWithMouse = true;
        const bool select = event->modifiers() & Qt::ShiftModifier;
        edit(By::User, [&](EditedLine &line) { line.moveCursor(position, select); });
    } else if (event->button() == Qt::MiddleButton
        && QGuiApplication::clipboard()->supportsSelection()) {
        setCursorPosition(position);
        pasteFrom(QClipboard::Selection);
    } else {
        return QWidget::mousePressEvent(event);
    }
    event->accept();
}

void TextBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selectingWithMouse || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    const int position = positionAt(event->position());
    edit(By::Program, [&](EditedLine &line) { line.moveCursor(position, true); });
}

void TextBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (clickForInputMethod(event))
        return event->accept();
    if (event->button() == Qt::LeftButton && m_selectingWithMouse) {
        m_selectingWithMouse = false;
        offerSelection();
    }
    QWidget::mouseReleaseEvent(event);
}

void TextBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    const int position = positionAt(event->position());
    edit(By::User, [&](EditedLine &line) { line.selectWordAt(position); });
}

void TextBox::contextMenuEvent(QContextMenuEvent *event)
{
    const QPointer<TextBox> self(this);
    QMenu menu;
    auto add = [&](const QString &caption, QKeySequence::StandardKey key, bool enabled,
                   void (TextBox::*slot)()) {
        QAction *action = menu.addAction(caption, this, slot);
        action->setShortcut(key);
        action->setEnabled(enabled && isEnabled());
    };
    const bool selected = m_line.hasSelection();
    add(tr("&Undo"), QKeySequence::Undo, m_line.canUndo(), &TextBox::undo);
    add(tr("&Redo"), QKeySequence::Redo, m_line.canRedo(), &TextBox::redo);
    menu.addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, selected, &TextBox::cut);
    QAction *copyAction = menu.addAction(tr("&Copy"), this, [this] { copy(); });
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(selected);
    add(tr("&Paste"), QKeySequence::Paste, !QGuiApplication::clipboard()->text().isEmpty(),
        &TextBox::paste);
    QAction *remove = menu.addAction(tr("Delete"), this,
        [this] { edit(By::User, [](EditedLine &line) { line.removeSelection(); }); });
    remove->setEnabled(selected && isEnabled());
    menu.addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, m_line.size() > 0, &TextBox::selectAll);
    menu.exec(event->globalPos());
    if (self)
        event->accept();
}

void TextBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText() && isEnabled())
        event->acceptProposedAction();
}

void TextBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (!event->mimeData()->hasText() || !isEnabled())
        return event->ignore();
    setCursorPosition(positionAt(event->position()));
    event->acceptProposedAction();
}

void TextBox::dropEvent(QDropEvent *event)
{
    const int position = positionAt(event->position());
    const QString dropped = event->mimeData()->text();
    edit(By::User, [&](EditedLine &line) {
        line.moveCursor(position, false);
        line.insert(dropped);
    });
    event->acceptProposedAction();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <utility>
#include <vector>

// One line of text being edited: the text, the cursor, the selection and the undo history.
// Every step looks only at the text around the cursor, so that a keystroke at the end of a
// pasted megabyte costs what it costs in a short line.
class EditedLine
{
public:
    const QString &text() const { return m_text; }
    int size() const { return int(m_text.size()); }
    // Counts every change of the text, so that the box can tell whether to signal one.
    quint64 revision() const { return m_revision; }

    // One change of the text: `removed` taken out at `position` and `inserted` put in its place.
    struct Change
    {
        int position = 0;
        QString removed;
        QString inserted;
    };
    // The latest change, handed over once: every step changes the text in one place at most, so
    // a viewer that takes it after each step learns every edit (what assistive technology is
    // told). It is not kept afterwards, so a megabyte taken out is not held on to.
    Change takeChange() { return std::exchange(m_change, Change()); }

    // An input method's unfinished text, shown at the cursor but no part of the text until the
    // input method commits it.
    struct Composition
    {
        struct Format
        {
            int start = 0;
            int length = 0;
            // A QTextFormat, as the input method gave it.
            QVariant format;
        };
        QString text;
        // Where the input method's own cursor stands in it.
        int cursor = 0;
        QList<Format> formats;
    };
    const Composition &composition() const { return m_composition; }
    bool composing() const { return !m_composition.text.isEmpty(); }
    void compose(Composition composition);
    // Counts every change of what a viewer shows: the text and the unfinished input.
    quint64 shownRevision() const { return m_revision + m_compositions; }

    int cursor() const { return m_cursor; }
    int anchor() const { return m_anchor; }
    bool hasSelection() const { return m_cursor != m_anchor; }
    int selectionStart() const { return std::min(m_cursor, m_anchor); }
    int selectionEnd() const { return std::max(m_cursor, m_anchor); }
    QString selectedText() const;

    // Replaces everything and forgets the history; the cursor goes to the end.
    void setText(const QString &text);
    // With `select`, the selection stretches from where it began to `position`.
    void moveCursor(int position, bool select);
    void selectAll();
    void selectWordAt(int position);

    // Typing: replaces the selection, if any. Characters typed one after another are undone
    // together.
    void type(const QString &text);
    // Pasting, dropping and input methods: replaces the selection, undone on its own.
    void insert(const QString &text);
    // Replaces `length` characters from `position` (an input method's correction).
    void replace(int position, int length, const QString &text);
    void removeSelection();
    // Backspace takes one character back, so an accent can be retyped; Delete takes the whole
    // letter in front of the cursor.
    void backspace();
    void deleteForward();
    void deleteWordBack();
    void deleteWordForward();

    // As in Qt's line edit, an arrow without Shift steps on from the cursor and drops the
    // selection in Windows' keyboard scheme.
    void moveByLetter(bool forward, bool select);
    // The X11 desktops' arrow on a selection instead: the cursor goes to the selection's start or
    // end, in the order of the text whatever its direction, and the selection goes.
    void foldSelection(bool toEnd);
    void moveByWord(bool forward, bool select);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    void undo();
    void redo();

    // Boundaries of letters as they are shown (a base with its marks, a surrogate pair, an
    // emoji sequence) and of words, found from the neighbourhood of `position` alone.
    int nextLetter(int position) const;
    int previousLetter(int position) const;
    int nextWordStart(int position) const;
    int previousWordStart(int position) const;

    // The undo history keeps at most this many characters of removed and inserted text.
    static constexpr qsizetype HistoryCharacters = 4 * 1024 * 1024;

private:
    struct Edit
    {
        int position;
        QString removed;
        QString inserted;
        int cursorBefore;
        int anchorBefore;
        bool typed;
    };

    void edit(int position, int length, const QString &text, bool typed);
    void apply(int position, const QString &removed, const QString &inserted);
    void trimHistory();
    bool isInWord(int position) const;

    QString m_text;
    int m_cursor = 0;
    int m_anchor = 0;
    quint64 m_revision = 0;
    Composition m_composition;
    quint64 m_compositions = 0;
    Change m_change;
    std::vector<Edit> m_undo;
    std::vector<Edit> m_redo;
    qsizetype m_historyCharacters = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditedLine.h"

#include "Characters.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// How far around a position the first look for a letter's boundary reaches; a letter longer
// than that (a base under dozens of marks) widens the look.
constexpr int NearLetters = 32;

} // namespace

QString EditedLine::selectedText() const
{
    return m_text.mid(selectionStart(), selectionEnd() - selectionStart());
}

void EditedLine::compose(Composition composition)
{
    if (composition.text.isEmpty() && m_composition.text.isEmpty())
        return;
    composition.cursor = std::clamp(composition.cursor, 0, int(composition.text.size()));
    m_composition = std::move(composition);
    ++m_compositions;
}

void EditedLine::setText(const QString &text)
{
    m_change = { 0, std::exchange(m_text, text), text };
    ++m_revision;
    m_cursor = m_anchor = size();
    m_undo.clear();
    m_redo.clear();
    m_historyCharacters = 0;
}

void EditedLine::moveCursor(int position, bool select)
{
    m_cursor = std::clamp(position, 0, size());
    if (!select)
        m_anchor = m_cursor;
}

void EditedLine::selectAll()
{
    m_anchor = 0;
    m_cursor = size();
}

void EditedLine::selectWordAt(int position)
{
    position = std::clamp(position, 0, size());
    if (!isInWord(position) && position > 0 && isInWord(position - 1))
        --position;
    if (!isInWord(position)) {
        m_anchor = position;
        m_cursor = nextLetter(position);
        return;
    }
    int start = position;
    while (start > 0 && isInWord(start - 1))
        --start;
    int end = position;
    while (end < size() && isInWord(end))
        ++end;
    m_anchor = start;
    m_cursor = end;
}

void EditedLine::type(const QString &text)
{
    if (!text.isEmpty())
        edit(selectionStart(), selectionEnd() - selectionStart(), text, true);
}

void EditedLine::insert(const QString &text)
{
    if (!text.isEmpty() || hasSelection())
        edit(selectionStart(), selectionEnd() - selectionStart(), text, false);
}

void EditedLine::replace(int position, int length, const QString &text)
{
    position = std::clamp(position, 0, size());
    length = std::clamp(length, 0, size() - position);
    if (length > 0 || !text.isEmpty())
        edit(position, length, text, false);
}

void EditedLine::removeSelection()
{
    if (hasSelection())
        edit(selectionStart(), selectionEnd() - selectionStart(), QString(), false);
}

void EditedLine::backspace()
{
    if (hasSelection())
        return removeSelection();
    if (m_cursor == 0)
        return;
    int from = m_cursor - 1;
    if (from > 0 && m_text.at(from).isLowSurrogate() && m_text.at(from - 1).isHighSurrogate())
        --from;
    edit(from, m_cursor - from, QString(), true);
}

void EditedLine::deleteForward()
{
    if (hasSelection())
        return removeSelection();
    if (m_cursor < size())
        edit(m_cursor, nextLetter(m_cursor) - m_cursor, QString(), true);
}

void EditedLine::deleteWordBack()
{
    if (hasSelection())
        return removeSelection();
    const int from = previousWordStart(m_cursor);
    if (from < m_cursor)
        edit(from, m_cursor - from, QString(), false);
}

void EditedLine::deleteWordForward()
{
    if (hasSelection())
        return removeSelection();
    const int to = nextWordStart(m_cursor);
    if (to > m_cursor)
        edit(m_cursor, to - m_cursor, QString(), false);
}

void EditedLine::moveByLetter(bool forward, bool select)
{
    moveCursor(forward ? nextLetter(m_cursor) : previousLetter(m_cursor), select);
}

void EditedLine::foldSelection(bool toEnd)
{
    moveCursor(toEnd ? selectionEnd() : selectionStart(), false);
}

void EditedLine::moveByWord(bool forward, bool select)
{
    moveCursor(forward ? nextWordStart(m_cursor) : previousWordStart(m_cursor), select);
}

void EditedLine::undo()
{
    if (m_undo.empty())
        return;
    Edit step = std::move(m_undo.back());
    m_undo.pop_back();
    apply(step.position, step.inserted, step.removed);
    m_cursor = step.cursorBefore;
    m_anchor = step.anchorBefore;
    m_redo.push_back(std::move(step));
}

void EditedLine::redo()
{
    if (m_redo.empty())
        return;
    Edit step = std::move(m_redo.back());
    m_redo.pop_back();
    apply(step.position, step.removed, step.inserted);
    m_undo.push_back(std::move(step));
}

int EditedLine::nextLetter(int position) const
{
    if (position >= size())
        return size();
    for (int reach = NearLetters;; reach *= 4) {
        const int end = std::min(size(), position + reach);
        QTextBoundaryFinder finder(
            QTextBoundaryFinder::Grapheme, m_text.constData() + position, end - position);
        const int next = int(finder.toNextBoundary());
        // The end of the piece looked at is a boundary only if it is the end of the text.
        if (next > 0 && (position + next < end || end == size()))
            return position + next;
        if (end == size())
            return size();
    }
}

int EditedLine::previousLetter(int position) const
{
    position = std::min(position, size());
    if (position <= 0)
        return 0;
    for (int reach = NearLetters;; reach *= 4) {
        const int start = std::max(0, position - reach);
        QTextBoundaryFinder finder(
            QTextBoundaryFinder::Grapheme, m_text.constData() + start, position - start);
        finder.toEnd();
        const int previous = int(finder.toPreviousBoundary());
        // Likewise the start of the piece, unless it is the start of the text.
        if (previous > 0 || start == 0)
            return start + std::max(previous, 0);
    }
}

int EditedLine::nextWordStart(int position) const
{
    int at = std::clamp(position, 0, size());
    while (at < size() && isInWord(at))
        ++at;
    while (at < size() && !isInWord(at))
        ++at;
    return at;
}

int EditedLine::previousWordStart(int position) const
{
    int at = std::clamp(position, 0, size());
    while (at > 0 && !isInWord(at - 1))
        --at;
    while (at > 0 && isInWord(at - 1))
        --at;
    return at;
}

bool EditedLine::isInWord(int position) const
{
    return Characters::isInWord(m_text, position);
}

void EditedLine::edit(int position, int length, const QString &text, bool typed)
{
    for (const Edit &step : m_redo)
        m_historyCharacters -= step.removed.size() + step.inserted.size();
    m_redo.clear();
    const QString removed = m_text.mid(position, length);
    m_historyCharacters += removed.size() + text.size();
    Edit *last = m_undo.empty() ? nullptr : &m_undo.back();
    const bool continues = typed && last && last->typed && length == 0 && !text.isEmpty()
        && !last->inserted.isEmpty() && position == last->position + last->inserted.size();
    const bool deletesOn = typed && last && last->typed && text.isEmpty()
        && last->inserted.isEmpty() && !removed.isEmpty()
        && (position + length == last->position || position == last->position);
    if (continues) {
        last->inserted += text;
    } else if (deletesOn && position + length == last->position) {
        last->removed.prepend(removed);
        last->position = position;
    } else if (deletesOn) {
        last->removed += removed;
    } else {
        m_undo.push_back(Edit { position, removed, text, m_cursor, m_anchor, typed });
    }
    apply(position, removed, text);
    trimHistory();
}

void EditedLine::apply(int position, const QString &removed, const QString &inserted)
{
    m_text.replace(position, removed.size(), inserted);
    ++m_revision;
    m_cursor = m_anchor = position + int(inserted.size());
    m_change = { position, removed, inserted };
}

void EditedLine::trimHistory()
{
    // The newest step is always kept, however large.
    auto oldestKept = m_undo.begin();
    while (m_historyCharacters > HistoryCharacters && oldestKept + 1 < m_undo.end()) {
        m_historyCharacters -= oldestKept->removed.size() + oldestKept->inserted.size();
        ++oldestKept;
    }
    m_undo.erase(m_undo.begin(), oldestKept);
}

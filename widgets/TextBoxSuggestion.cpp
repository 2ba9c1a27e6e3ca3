// SPDX-License-Identifier: GPL-3.0-or-later
// The text box's inline suggestion: the rest of a word drawn dimmed after the cursor. It is no
// part of the text: it is never copied, never spoken, and assistive technology reads the whole
// word as the box's description and hears it announced, not in the text.
#include "TextBox.h"
#include "TextBoxAccessible.h"

#include <QPainter>

void TextBox::setOffer(const CompletionSource::Completion &offer)
{
    ++m_offers;
    const bool valid = offer.typed <= m_line.size() && offer.word.size() > offer.typed;
    const QString suggestion = valid ? offer.word.mid(offer.typed) : QString();
    const QString offered = offeredWord();
    m_completedLength = valid ? int(offer.typed) : 0;
    m_completedWord = valid ? offer.word : QString();
    if (suggestion == m_suggestion)
        return;
    m_suggestion = suggestion;
    // Once for each word: a letter typed that agrees with the offer says nothing again.
    if (!suggestion.isEmpty() && offeredWord() != offered)
        announceOffer(this);
    update();
}

bool TextBox::takeSuggestion(bool withSpace)
{
    if (m_suggestion.isEmpty() || m_line.cursor() != m_line.size() || m_line.hasSelection())
        return false;
    const QString word = withSpace ? m_completedWord + u' ' : m_completedWord;
    const int start = m_line.size() - m_completedLength;
    // One edit of its own, so that one undo takes the whole word back. The letters typed are
    // written again with the rest: a screen reader says what was inserted, and the rest alone
    // ("llo") tells a listener nothing of the word taken.
    edit(By::User, [&](EditedLine &line) { line.replace(start, m_completedLength, word); });
    return true;
}

void TextBox::drawSuggestion(QPainter &painter, QPointF baseline) const
{
    if (m_suggestion.isEmpty())
        return;
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setFont(font());
    painter.drawText(baseline, m_suggestion);
}

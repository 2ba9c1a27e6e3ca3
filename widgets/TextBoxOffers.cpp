// SPDX-License-Identifier: GPL-3.0-or-later
// The words the text box offers: the rest of the first drawn dimmed after the cursor, all of
// them taken by a key. They are no part of the text: never copied, never spoken, and assistive
// technology reads them as the box's description and hears the first announced, not in the text.
#include "TextBox.h"
#include "TextBoxAccessible.h"

#include <QKeyEvent>
#include <QPainter>

#include <array>

void TextBox::setOffers(const WordOffers &offers)
{
    const WordOffers before = m_offers;
    m_offers = { offers.typed, {} };
    if (offers.typed <= m_line.size())
        for (const QString &word : offers.words)
            if (word.size() > offers.typed && m_offers.words.size() < WordOffers::Most)
                m_offers.words.append(word);
    if (m_offers.isEmpty())
        m_offers.typed = 0;
    // An edit settling shows its offers once it has told everything else.
    if (!m_settling)
        showOffers(before);
}

void TextBox::showOffers(const WordOffers &before)
{
    if (m_offers == before)
        return;
    update();
    emit offersChanged();
    // Once for each word: a letter typed that agrees with the first offer says nothing again.
    // Only to the user typing here: a phrase of the board that changes what the empty strip
    // offers would be a word out of nowhere.
    const QString first = offeredWord();
    if (hasFocus() && !first.isEmpty() && (before.isEmpty() || before.words.first() != first))
        announceOffer(this);
}

QString TextBox::suggestion() const
{
    return m_offers.isEmpty() ? QString() : m_offers.words.first().mid(m_offers.typed);
}

bool TextBox::takeOffer(qsizetype index, bool withSpace)
{
    return takeOffer(index, withSpace, true);
}

bool TextBox::takeOffer(qsizetype index, bool withSpace, bool announce)
{
    if (index >= m_offers.words.size() || m_line.cursor() != m_line.size() || m_line.hasSelection())
        return false;
    m_lastPick = m_offers.words.at(index);
    m_announcePick = announce;
    const QString word = withSpace ? m_lastPick + u' ' : m_lastPick;
    const int typed = int(m_offers.typed);
    // One edit of its own, so that one undo takes the whole word back. The letters typed are
    // written again with the rest: a screen reader says what was inserted, and the rest alone
    // ("llo") tells a listener nothing of the word taken.
    edit(By::User, [&](EditedLine &line) { line.replace(line.size() - typed, typed, word); });
    return true;
}

bool TextBox::offerKey(const QKeyEvent *event)
{
    if (event->modifiers() != Qt::NoModifier)
        return false;
    static constexpr std::array<Qt::Key, WordOffers::Most> picks { Qt::Key_F1, Qt::Key_F2,
        Qt::Key_F3 };
    for (qsizetype i = 0; i < qsizetype(picks.size()); ++i)
        if (event->key() == picks[size_t(i)])
            return takeOffer(i);
    // With nothing offered, a Tab that moved the focus on would send the rest of the typing and
    // its Enter somewhere else.
    if (event->key() == Qt::Key_Tab)
        return takeOffer(0, true, false) || m_offersWords;
    return event->key() == Qt::Key_Right && takeOffer(0, false);
}

void TextBox::drawSuggestion(QPainter &painter, QPointF baseline) const
{
    const QString rest = suggestion();
    if (rest.isEmpty())
        return;
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setFont(font());
    painter.drawText(baseline, rest);
}

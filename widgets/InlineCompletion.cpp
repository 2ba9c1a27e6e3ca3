// SPDX-License-Identifier: GPL-3.0-or-later
#include "InlineCompletion.h"

#include "CompletionSource.h"
#include "TextBox.h"

InlineCompletion::InlineCompletion(TextBox *box, const CompletionSource *source)
    : m_box(box), m_source(source)
{
    box->setOffersWords(true);
    connect(box, &TextBox::textEdited, this, &InlineCompletion::offer);
    // An emptied line (Enter said it) is a line start like any other: it is offered a first word.
    connect(box, &TextBox::textChanged, this, &InlineCompletion::offerIfEmpty);
    // An empty line has no keystroke to ask again once the source knows more. A line with text
    // waits for its next key: it may be a recalled line, which is offered nothing until then.
    connect(source, &CompletionSource::offersChanged, this, &InlineCompletion::offerIfEmpty);
    offerIfEmpty();
}

InlineCompletion::~InlineCompletion()
{
    if (m_box) {
        m_box->setOffers({});
        m_box->setOffersWords(false);
    }
}

void InlineCompletion::offerIfEmpty()
{
    if (m_box->text().isEmpty())
        offer();
}

void InlineCompletion::offer()
{
    const QString &line = m_box->text();
    // In a right-to-left line the rest of a word would be drawn on the wrong side of the cursor;
    // such a line gets no offer.
    if (!m_box->isComposing() && !m_box->hasSelectedText() && m_box->cursorPosition() == line.size()
        && !QStringView(line).isRightToLeft())
        m_box->setOffers(m_source->offersFor(line));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "InlineCompletion.h"

#include "CompletionSource.h"
#include "TextBox.h"

InlineCompletion::InlineCompletion(TextBox *box, const CompletionSource *source)
    : m_box(box), m_source(source)
{
    box->setOffersWords(true);
    connect(box, &TextBox::textEdited, this, &InlineCompletion::edited);
    // An emptied line (Enter said it) is a line start like any other: it is offered a first word.
    connect(box, &TextBox::textChanged, this, &InlineCompletion::offerIfEmpty);
    offerIfEmpty();
}

InlineCompletion::~InlineCompletion()
{
    if (m_box) {
        m_box->setOffer({});
        m_box->setOffersWords(false);
    }
}

void InlineCompletion::sourceChanged()
{
    offerIfEmpty();
}

void InlineCompletion::offerIfEmpty()
{
    if (m_box->text().isEmpty())
        edited();
}

void InlineCompletion::edited()
{
    const QString &line = m_box->text();
    // In a right-to-left line the rest of a word would be drawn on the wrong side of the cursor;
    // such a line gets no offer.
    if (!m_box->isComposing() && !m_box->hasSelectedText() && m_box->cursorPosition() == line.size()
        && !QStringView(line).isRightToLeft())
        m_box->setOffer(m_source->completionFor(line));
}

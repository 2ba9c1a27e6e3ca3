// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordOffers.h"

#include <QObject>

// Where a text box gets the words it offers to complete. The box knows nothing of how words are
// predicted: the program hands it a source.
class CompletionSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // What to offer after line, with the cursor at its end: the word being typed, or after a
    // space the next word; at most WordOffers::Most words, none for nothing. Called on every
    // keystroke, on the user-interface thread: it must answer in microseconds.
    virtual WordOffers offersFor(const QString &line) const = 0;

signals:
    // What the source offers for a line may have changed without the line changing: it learned
    // more, or a model it waited for is ready.
    void offersChanged();
};

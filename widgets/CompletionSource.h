// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where a text box gets the word it offers to complete. The box knows nothing of how words are
// predicted: the program hands it a source.
class CompletionSource
{
public:
    // A word for the end of the line. It replaces the last `typed` characters, the letters typed
    // of it, which it starts with in any case: "man" may become "Manchester".
    struct Completion
    {
        qsizetype typed = 0;
        QString word;
    };

    virtual ~CompletionSource() = default;

    // What to offer after line, with the cursor at its end: the word being typed, or after a
    // space the next word. An empty word for nothing. Called on every keystroke, on the
    // user-interface thread: it must answer in microseconds.
    virtual Completion completionFor(const QString &line) const = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class CompletionSource;
class TextBox;

// Completes the word typed at the end of a text box inline, as Qt's and KDE's completers do: it
// listens to the box and hands it the word to offer, which the box draws after the cursor and
// writes when Tab (or Right) takes it. An edit the user made at the end of the line asks for a
// word, and so does a line emptied; the box withdraws the offer at any other change.
//
// Neither the box nor the source is owned; the source must outlive the completion.
class InlineCompletion : public QObject
{
    Q_OBJECT
public:
    InlineCompletion(TextBox *box, const CompletionSource *source);
    ~InlineCompletion() override;

    // The source knows more than it did: an empty line, which no keystroke asks about again, is
    // offered its first word now.
    void sourceChanged();

private:
    // A line start that no keystroke asks about: the box was emptied, or the source learned more.
    void offerIfEmpty();
    void edited();

    QPointer<TextBox> m_box;
    const CompletionSource *m_source;
};

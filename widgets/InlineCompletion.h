// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class CompletionSource;
class TextBox;

// Completes the word typed at the end of a text box, as Qt's and KDE's completers do: it listens
// to the box and to its source and hands the box the words to offer. An edit the user made at the
// end of the line asks for words, and so does a line emptied; the box withdraws the offers at any
// other change.
//
// Neither the box nor the source is owned; the source must outlive the completion.
class InlineCompletion : public QObject
{
    Q_OBJECT
public:
    InlineCompletion(TextBox *box, const CompletionSource *source);
    ~InlineCompletion() override;

private:
    // A line start that no keystroke asks about: the box was emptied, or the source learned more.
    void offerIfEmpty();
    void offer();

    QPointer<TextBox> m_box;
    const CompletionSource *m_source;
};

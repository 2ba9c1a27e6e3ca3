// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Characters.h"

#include <QList>
#include <QString>

#include <utility>

// The words prediction reads, in the program's one reading of words (Characters.h).
namespace Words {

// Calls visit(word, startsSentence) for each word of text, as written.
template <typename Visit>
void forEach(QStringView text, Visit &&visit)
{
    bool sentenceStart = true;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (Characters::isInWord(text, i)) {
            if (start < 0)
                start = i;
            continue;
        }
        if (start >= 0) {
            visit(text.mid(start, i - start), sentenceStart);
            sentenceStart = false;
            start = -1;
        }
        if (Characters::endsSentence(text, i))
            sentenceStart = true;
    }
}

// A word as the model keeps it: lower case, with ’ written as '.
QString normalised(QStringView word);

// The word being typed at the end of text (possibly empty); an apostrophe just typed after a
// letter is part of it, on its way to "don't".
QString trailingWord(const QString &text);

// One sentence's words, normalised; an empty string marks where a sentence starts.
QList<QString> sentenceWords(const QString &text);

// The two words before the end of text, normalised, the nearer second; an empty string where a
// sentence starts instead.
std::pair<QString, QString> previousTwoWords(const QString &text);

} // namespace Words

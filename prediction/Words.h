// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// How the prediction tells words apart: letters, digits and apostrophes inside a word (so
// "don't" and "o'clock" are one word each), everything else between them.
namespace Words {

bool isWordCharacter(QChar c);

// The word being typed at the end of text (possibly empty).
QString trailingWord(const QString &text);

// One sentence's words in lower case; an empty string marks where a sentence starts.
QList<QString> sentenceWords(const QString &text);

// The word before the end of text, lower case, or an empty string at the start of a sentence.
QString previousWord(const QString &text);

} // namespace Words

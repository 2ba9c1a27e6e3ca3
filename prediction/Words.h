// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// The words prediction reads, in the program's one reading of words (Characters.h).
namespace Words {

// The word being typed at the end of text (possibly empty); an apostrophe just typed after a
// letter is part of it, on its way to "don't".
QString trailingWord(const QString &text);

// One sentence's words, lower case and with ’ written as '; an empty string marks where a
// sentence starts.
QList<QString> sentenceWords(const QString &text);

// The word before the end of text, as sentenceWords gives it, or an empty string at the start
// of a sentence.
QString previousWord(const QString &text);

} // namespace Words

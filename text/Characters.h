// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QStringView>

// One reading of words and sentences for the whole program: the box's word-wise moves and
// deletes, the words prediction learns and offers, and where speech breaks a text into
// sentences all agree on it.
namespace Characters {

// Letters, digits, combining marks, '_' and characters beyond the basic plane (both halves of
// such a pair alike, so that no word ends inside one).
bool isWordCharacter(QChar c);

// ' and ’: between two word characters they join one word ("don't", "o'clock"); elsewhere they
// quote.
bool isApostrophe(QChar c);

// Whether text[at] belongs to a word: a word character, or an apostrophe between two.
bool isInWord(QStringView text, qsizetype at);

// . ! and ?
bool endsSentence(QChar c);

} // namespace Characters

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QStringView>

// One reading of words and sentences for the whole program: the box's word-wise moves and
// deletes, the words prediction learns and offers, and where speech breaks a text into
// sentences all agree on it.
namespace Characters {

// ' and ’: between two word characters they join one word ("don't", "o'clock"); elsewhere they
// quote.
bool isApostrophe(QChar c);

// Whether text[at] belongs to a word: a letter, digit, combining mark or '_' (read by its whole
// code point, so both halves of a pair agree and an emoji is no part of a word), or an
// apostrophe between two.
bool isInWord(QStringView text, qsizetype at);

// Whether the . ! or ? at text[at] ends a sentence: it does where what follows, past any
// closing quotes and brackets, is a space or the end of the text, so "3.5" and the first two of
// "?!." run on. A full stop after a title ("Mr.") never does, and one that closes an
// abbreviation of single letters ("e.g.", "U.S.") only where a capital comes next.
bool endsSentence(QStringView text, qsizetype at);

} // namespace Characters

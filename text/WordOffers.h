// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The words offered to complete the end of a line, likeliest first, no two alike. Each replaces
// the last `typed` characters of the line, the letters typed of it, which it starts with in any
// case: "man" may become "Manchester". After a space nothing is typed yet and each is a next word.
struct WordOffers
{
    // As many as a person takes in at a glance, each one key away.
    static constexpr int Most = 3;

    qsizetype typed = 0;
    QStringList words;

    bool isEmpty() const { return words.isEmpty(); }
    friend bool operator==(const WordOffers &, const WordOffers &) = default;
};

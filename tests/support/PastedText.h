// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A million characters of ordinary words: a pasted article, far more than anyone types.
inline QString megabyteOfWords()
{
    QString text;
    while (text.size() < 1000000)
        text += QStringLiteral("Here are ten words that keep the speech going on. ");
    return text;
}

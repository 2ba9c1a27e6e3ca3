// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NgramTables.h"

#include <QByteArray>

#include <functional>
#include <string>
#include <vector>

class SphinxModel;

// Turns a trigram model around for prediction (the words that follow one word and two words)
// and prunes it to the entries that can decide what is offered for some prefix: what the build
// writes into the program's index file (NgramIndexFile).
namespace NgramIndexBuilder {

// The tables, owned.
struct Built
{
    std::string text;
    std::vector<quint32> offsets;
    std::vector<quint16> probability;
    std::vector<quint16> backoff;
    std::vector<quint32> followers;
    quint32 unigramEnd = 0;
    std::vector<quint32> firstFollower;
    std::vector<Ngram::Pair> pairs;
    std::vector<quint32> firstPair;
    quint32 sentenceStart = 0;

    Ngram::Tables tables() const;
};

// The index of a model read without error; words for which excluded holds are never offered.
// Empty when the model has more words than an index holds, or none that may be offered.
Built build(const SphinxModel &model, const std::function<bool(const QByteArray &)> &excluded);

} // namespace NgramIndexBuilder

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A trigram model of English turned around for prediction: the words that follow one word and
// two words, with the model's back-off to fewer words, kept only where an entry can decide what
// is offered for some prefix of it and its words are not too rare together. Built from
// pocketsphinx's US English model, whose records are keyed by the word predicted.
class NgramIndex
{
    // A word and its probability's code in 32 bits, the word above.
    using Follower = quint32;
    struct Pair
    {
        // The first word and the pair's back-off, as a follower is.
        Follower first;
        quint32 begin;
    };

public:
    struct Best
    {
        QString word;
        double probability = 0;
    };
    // The words before the word predicted, looked up once for all the words scored after them.
    class Context
    {
        friend class NgramIndex;
        // The two-word context, if the model has one, and the word.
        const Pair *pair = nullptr;
        qint64 second = -1;
    };

    // Empty: no words, every probability 0.
    NgramIndex() = default;

    // Reads a sphinxbase binary trigram model ("Trie Language Model"), read-only and without
    // keeping it: what is kept is the index. Words for which excluded holds are never offered.
    // Empty when the file is missing or not such a model.
    static NgramIndex fromSphinxModel(
        const QString &path, const std::function<bool(const QByteArray &)> &excluded);
    static QString defaultSphinxModel();

    bool isEmpty() const { return m_offsets.empty(); }

    // The words first and second, lower case; an empty second stands for the start of a
    // sentence, and an empty first for a second at the start of one.
    Context context(const QString &first, const QString &second) const;
    // P(word | context), lower case.
    double probability(const Context &context, const QString &word) const;
    // The likeliest word longer than prefix that starts with it, after the context.
    Best best(const Context &context, const QString &prefix) const;

    double probability(const QString &first, const QString &second, const QString &word) const
    {
        return probability(context(first, second), word);
    }
    Best best(const QString &first, const QString &second, const QString &prefix) const
    {
        return best(context(first, second), prefix);
    }

    // What the index holds in memory.
    qsizetype bytes() const;

private:
    // A context's followers: the likeliest first, then the others sorted by word.
    using Span = std::pair<const Follower *, const Follower *>;
    qint64 id(std::string_view word) const;
    std::string_view wordAt(quint32 id) const;
    std::pair<quint32, quint32> idsStartingWith(std::string_view prefix) const;
    Span followersOf(quint32 second) const;
    Span followersOf(const Pair &pair) const;
    double probability(const Context &context, quint32 word) const;

    // Words sorted bytewise, so that the words starting with a prefix are one range of ids.
    std::string m_text;
    std::vector<quint32> m_offsets;
    // Codes of the single words' probabilities and back-offs.
    std::vector<quint16> m_probability;
    std::vector<quint16> m_backoff;
    // Spans of followers: the single words that decide an offer, then those of each word
    // (m_firstFollower[word] on), then those of each pair (Pair::begin on).
    std::vector<Follower> m_followers;
    quint32 m_unigramEnd = 0;
    std::vector<quint32> m_firstFollower;
    // The pairs whose second word is second, m_firstPair[second] on, sorted by first.
    std::vector<Pair> m_pairs;
    std::vector<quint32> m_firstPair;
    quint32 m_sentenceStart = 0;
};

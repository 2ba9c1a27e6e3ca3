// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

#include <string_view>
#include <vector>

// A sphinxbase binary trigram model ("Trie Language Model", as pocketsphinx-en-us ships its US
// English one), mapped read-only: a trie keyed from the predicted word back, its entries packed
// in bit fields. Word ids are the file's, which sorts its words bytewise.
class SphinxModel
{
public:
    static constexpr int Order = 3;

    // Maps the model at path and checks it; see error().
    explicit SphinxModel(const QString &path);

    static QString debianModel();

    // Why the file cannot be read, or empty when it can: missing, not such a model, or damaged
    // so that it points outside itself.
    const QString &error() const { return m_error; }

    quint32 words() const { return m_counts[0]; }
    quint32 pairCount() const { return m_counts[1]; }
    const std::vector<std::string_view> &wordTexts() const { return m_words; }
    float probability(quint32 word) const;
    float backoff(quint32 word) const;

    // The pairs "word second", entries [pairsBegin(second), pairsBegin(second + 1)), sorted by
    // their first word.
    quint32 pairsBegin(quint32 second) const;
    quint32 pairFirst(quint32 pair) const;
    float pairProbability(quint32 pair) const;
    float pairBackoff(quint32 pair) const;
    // The pair "first second", or -1.
    qint64 pair(quint32 first, quint32 second) const;

    // The triples "word pair", entries [triplesBegin(pair), triplesBegin(pair + 1)).
    quint32 triplesBegin(quint32 pair) const;
    quint32 tripleFirst(quint32 triple) const;
    float tripleProbability(quint32 triple) const;

private:
    bool map();
    bool isSound() const;
    bool readWords(const uchar *text, const uchar *end);
    quint64 middleAt(quint32 entry) const;
    quint64 longestAt(quint32 entry) const;

    QFile m_file;
    QString m_error;
    const uchar *m_unigrams = nullptr;
    const uchar *m_middle = nullptr;
    const uchar *m_longest = nullptr;
    std::vector<float> m_bins;
    quint32 m_counts[Order] {};
    int m_wordBits = 0;
    int m_nextBits = 0;
    std::vector<std::string_view> m_words;
};

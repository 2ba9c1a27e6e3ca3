// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <utility>

// A general vocabulary with how often each word occurs, sorted by word so that the words that
// start with a prefix are one range.
class WordFrequencies
{
public:
    using Entry = std::pair<QString, double>;

    WordFrequencies() = default;
    explicit WordFrequencies(QList<Entry> entries);

    // The word counts of the English n-gram data of libpresage-data, opened read-only. Empty
    // when the file is missing or unreadable: completion then knows only what it learns.
    static WordFrequencies fromPresageDatabase(const QString &path);
    static QString defaultPresageDatabase();

    // The share of the vocabulary's running words that are this one (0 for an unknown word).
    double probability(const QString &word) const;
    // Calls visit(word, probability) for every word that starts with prefix.
    template <typename Visit>
    void forEachStartingWith(const QString &prefix, Visit &&visit) const
    {
        for (auto it = lowerBound(prefix); it != m_entries.end() && it->first.startsWith(prefix);
             ++it)
            visit(it->first, it->second / m_total);
    }
    qsizetype size() const { return m_entries.size(); }

private:
    QList<Entry>::const_iterator lowerBound(const QString &word) const;

    QList<Entry> m_entries;
    double m_total = 1;
};

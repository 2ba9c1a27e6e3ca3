// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordFrequencies.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>

namespace {

// Presage's tables keep the single letters its tokenizer cut from "don't" and "it's"; as
// completions they are noise.
bool isUsefulWord(const QString &word)
{
    return word.size() > 1 || word == u"a" || word == u"i";
}

} // namespace

WordFrequencies::WordFrequencies(QList<Entry> entries) : m_entries(std::move(entries))
{
    std::sort(m_entries.begin(), m_entries.end(),
        [](const Entry &a, const Entry &b) { return a.first < b.first; });
    double total = 0;
    for (const Entry &entry : m_entries)
        total += entry.second;
    m_total = total > 0 ? total : 1;
}

QString WordFrequencies::defaultPresageDatabase()
{
    return QStringLiteral("/usr/share/presage/database_en.db");
}

WordFrequencies WordFrequencies::fromPresageDatabase(const QString &path)
{
    if (!QFile::exists(path))
        return {};
    sqlite3 *db = nullptr;
    // Read-only and no creating: a missing or moved file must not leave an empty database behind.
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db);
        return {};
    }
    QList<Entry> entries;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT word, count FROM _1_gram", -1, &statement, nullptr)
        == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
            const QString word = QString::fromUtf8(text).toLower();
            if (isUsefulWord(word))
                entries.append({ word, double(sqlite3_column_int64(statement, 1)) });
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return WordFrequencies(std::move(entries));
}

double WordFrequencies::probability(const QString &word) const
{
    const auto it = lowerBound(word);
    return it != m_entries.end() && it->first == word ? it->second / m_total : 0;
}

QList<WordFrequencies::Entry>::const_iterator WordFrequencies::lowerBound(const QString &word) const
{
    return std::lower_bound(m_entries.begin(), m_entries.end(), word,
        [](const Entry &entry, const QString &w) { return entry.first < w; });
}

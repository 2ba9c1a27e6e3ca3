// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NgramTables.h"

#include <QList>
#include <QString>

#include <memory>
#include <string_view>

// A trigram model of English turned around for prediction: the words that follow one word and
// two words, with the model's back-off to fewer words, kept only where an entry can decide what
// is offered for some prefix of it (NgramIndexBuilder). Queries read the tables where they lie,
// a mapped file's or a builder's, and never outside them, whatever the tables say.
class NgramIndex
{
public:
    struct Scored
    {
        QString word;
        double probability = 0;
    };
    // The words before the word predicted, looked up once for all the words scored after them.
    class Context
    {
        friend class NgramIndex;
        // The two-word context, if the model has one, and the word.
        const Ngram::Pair *pair = nullptr;
        qint64 second = -1;
    };

    // Empty: no words, every probability 0.
    NgramIndex() = default;
    // Over tables that owner keeps.
    NgramIndex(const Ngram::Tables &tables, std::shared_ptr<const void> owner);

    // The index a file holds (NgramIndexFile), mapped read-only; empty when it cannot be used,
    // and then why in error.
    static NgramIndex open(const QString &path, QString *error = nullptr);

    bool isEmpty() const { return m_tables.words() == 0; }

    // The words first and second, lower case; an empty second stands for the start of a
    // sentence, and an empty first for a second at the start of one.
    Context context(const QString &first, const QString &second) const;
    // P(word | context), lower case.
    double probability(const Context &context, const QString &word) const;
    // The count likeliest words longer than prefix that start with it, after the context,
    // likeliest first.
    QList<Scored> likeliest(const Context &context, const QString &prefix, int count) const;

    double probability(const QString &first, const QString &second, const QString &word) const
    {
        return probability(context(first, second), word);
    }
    QList<Scored> likeliest(
        const QString &first, const QString &second, const QString &prefix, int count) const
    {
        return likeliest(context(first, second), prefix, count);
    }

private:
    using Span = std::span<const quint32>;
    qint64 id(std::string_view word) const;
    std::string_view wordAt(quint32 id) const;
    std::pair<quint32, quint32> idsStartingWith(std::string_view prefix) const;
    Span followersOf(quint32 second) const;
    Span followersOf(const Ngram::Pair &pair) const;
    double probability(const Context &context, quint32 word) const;

    Ngram::Tables m_tables;
    std::shared_ptr<const void> m_owner;
};

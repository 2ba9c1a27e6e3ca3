// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrequencyModel.h"

#include "Words.h"

#include <array>

namespace {

// How much more a line counts than the one said before it: a word said once weighs half as
// much after some 140 lines as when it was just said, so recent lines win over old ones of the
// same frequency.
constexpr double LineGrowth = 1.005;
// A word or a pair weighing less than this share of a word said just now is forgotten: one said
// once goes after some 830 lines, one said often stays. Without it, a program left running for
// weeks would keep every word it ever heard.
constexpr double ForgottenShare = 1.0 / 64;
constexpr int LinesBetweenForgetting = 256;
// Shares of the sources in a word's score. What this run said dominates, and what followed the
// same words most of all: a person who types to talk says the same things again and again.
constexpr double PairShare = 0.3;
constexpr double FollowerShare = 0.4;
constexpr double SaidShare = 0.2;
constexpr double GeneralShare = 0.1;

} // namespace

double FrequencyModel::Weights::share(const QString &word) const
{
    const auto it = words.find(word);
    return it == words.end() ? 0 : it->second / total;
}

FrequencyModel::FrequencyModel(WordFrequencies general) : m_general(std::move(general)) { }

void FrequencyModel::add(Weights &weights, const QString &word)
{
    weights.words[word] += m_lineWeight;
    weights.total += m_lineWeight;
}

const FrequencyModel::Weights *FrequencyModel::followersOf(const QString &context) const
{
    const auto it = m_followers.constFind(context);
    return it == m_followers.cend() ? nullptr : &it.value();
}

void FrequencyModel::learn(const QString &line)
{
    const QList<QString> words = Words::sentenceWords(line);
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (words[i].isEmpty())
            continue;
        add(m_said, words[i]);
        add(m_followers[words[i - 1]], words[i]);
        if (i > 1 && !words[i - 1].isEmpty())
            add(m_followers[words[i - 2] + u' ' + words[i - 1]], words[i]);
    }
    m_lineWeight *= LineGrowth;
    if (++m_linesSinceForgetting == LinesBetweenForgetting)
        forgetFaded();
    rescaleIfLarge();
}

void FrequencyModel::forgetFaded()
{
    m_linesSinceForgetting = 0;
    auto forget = [least = m_lineWeight * ForgottenShare](Weights &weights) {
        std::erase_if(weights.words, [&](const auto &entry) {
            if (entry.second >= least)
                return false;
            weights.total -= entry.second;
            return true;
        });
    };
    forget(m_said);
    for (auto it = m_followers.begin(); it != m_followers.end();) {
        forget(it.value());
        it = it.value().words.empty() ? m_followers.erase(it) : std::next(it);
    }
}

void FrequencyModel::rescaleIfLarge()
{
    if (m_lineWeight < 1e100)
        return;
    auto rescale = [scale = 1 / m_lineWeight](Weights &weights) {
        for (auto &[word, weight] : weights.words)
            weight *= scale;
        weights.total *= scale;
    };
    rescale(m_said);
    for (Weights &weights : m_followers)
        rescale(weights);
    m_lineWeight = 1;
}

QString FrequencyModel::mostLikelyWord(const QString &before, const QString &prefix) const
{
    const QString previous = Words::previousWord(before);
    QString pair;
    if (!previous.isEmpty()) {
        const qsizetype at = before.lastIndexOf(previous, -1, Qt::CaseInsensitive);
        pair = Words::previousWord(before.left(qMax(at, 0))) + u' ' + previous;
    }
    const std::array<const Weights *, 2> contexts { followersOf(pair), followersOf(previous) };
    const std::array<double, 2> contextShares { PairShare, FollowerShare };

    QString best;
    double bestScore = 0;
    auto consider = [&](const QString &word) {
        if (word.size() <= prefix.size())
            return;
        double score = 0;
        for (size_t i = 0; i < contexts.size(); ++i)
            if (contexts[i])
                score += contextShares[i] * contexts[i]->share(word);
        if (!prefix.isEmpty())
            score += SaidShare * m_said.share(word) + GeneralShare * m_general.probability(word);
        if (score > bestScore) {
            bestScore = score;
            best = word;
        }
    };
    auto considerStartingWith = [&](const Weights &weights) {
        for (auto it = weights.words.lower_bound(prefix);
             it != weights.words.end() && it->first.startsWith(prefix); ++it)
            consider(it->first);
    };

    // The next word is offered only from what has followed the last words: a guess from
    // frequency alone ("the" after anything) would mostly be wrong.
    for (const Weights *context : contexts)
        if (context)
            considerStartingWith(*context);
    if (prefix.isEmpty())
        return best;
    considerStartingWith(m_said);
    // A word of the general list that this run never said scores by its frequency alone, so
    // only the most frequent one can win.
    QString mostFrequent;
    double highest = 0;
    m_general.forEachStartingWith(prefix, [&](const QString &word, double probability) {
        if (probability > highest && word.size() > prefix.size()) {
            highest = probability;
            mostFrequent = word;
        }
    });
    consider(mostFrequent);
    return best;
}

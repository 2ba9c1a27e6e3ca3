// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrequencyModel.h"

#include "Words.h"

#include <algorithm>
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
// What the run said after the same words is trusted as far as it has seen them often and with
// few different followers (Witten-Bell): words said once before have told little, "thank" said
// before "you" twenty times has told a lot. A follower seen counts as TypesWeight followers
// yet unseen, and what is not trusted goes to the shorter context, then to the model of English,
// which gives SaidShare of its weight to the words of the run once a letter is typed. Tuned on
// bench/prediction/conversation.txt only.
constexpr double TypesWeight = 3;
constexpr double SaidShare = 0.1;

} // namespace

double FrequencyModel::Weights::share(const QString &word) const
{
    const auto it = words.find(word);
    return it == words.end() ? 0 : it->second / total;
}

FrequencyModel::FrequencyModel(NgramIndex general)
    : m_general(std::make_shared<const NgramIndex>(std::move(general)))
{ }

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

QStringList FrequencyModel::likeliestWords(
    const QString &before, const QString &prefix, int count) const
{
    const auto [first, previous] = Words::previousTwoWords(before);
    const QString pair = previous.isEmpty() ? QString() : first + u' ' + previous;
    const std::array<const Weights *, 2> contexts { followersOf(pair), followersOf(previous) };

    // How far the run's followers of a context are trusted over those of a shorter one.
    auto trust = [this](const Weights *followers) {
        if (!followers)
            return 0.0;
        const double seen = followers->total / m_lineWeight;
        return seen / (seen + TypesWeight * double(followers->words.size()));
    };
    const std::array<double, 2> trusted { trust(contexts[0]), trust(contexts[1]) };
    const double saidShare = prefix.isEmpty() ? 0 : SaidShare;

    // The best words by score, each once: a word scores the same wherever it was found. Of two
    // as likely, the one found first.
    QList<std::pair<double, QString>> best;
    auto consider = [&](const QString &word, double general) {
        if (word.size() <= prefix.size())
            return;
        double score = (1 - saidShare) * general + saidShare * m_said.share(word);
        for (size_t i = contexts.size(); i-- > 0;)
            if (contexts[i])
                score = trusted[i] * contexts[i]->share(word) + (1 - trusted[i]) * score;
        const auto at = std::find_if(
            best.begin(), best.end(), [&](const auto &ranked) { return ranked.first < score; });
        if (!(score > 0) || at - best.begin() >= count
            || std::any_of(
                best.begin(), at, [&](const auto &ranked) { return ranked.second == word; }))
            return;
        best.insert(at, { score, word });
        if (best.size() > count)
            best.removeLast();
    };
    const NgramIndex::Context english = m_general->context(first, previous);
    auto considerStartingWith = [&](const Weights &weights) {
        for (auto it = weights.words.lower_bound(prefix);
             it != weights.words.end() && it->first.startsWith(prefix); ++it)
            consider(it->first, m_general->probability(english, it->first));
    };

    for (const Weights *context : contexts)
        if (context)
            considerStartingWith(*context);
    // Words said in this run but never after these words count only once a letter narrows
    // them down: "the" after anything would mostly be wrong.
    if (!prefix.isEmpty())
        considerStartingWith(m_said);
    for (const NgramIndex::Scored &likely : m_general->likeliest(english, prefix, count))
        consider(likely.word, likely.probability);
    QStringList words;
    for (const auto &[score, word] : best)
        words.append(word);
    return words;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "NgramIndexBuilder.h"

#include "SphinxModel.h"

#include <array>

using namespace Ngram;

namespace {

// An entry is kept where it is among the three likeliest after its context of the words that
// start with its first three letters (or all but its last): an offer made only later saves too
// little to keep an entry for, and keeping only each context's few likeliest followers cost two
// points. Against the likeliest alone, three offers save 0.9 point more on the held-out
// conversation for a fifth more entries. On the tuned conversation, two letters saved 0.4 point
// less, all but the last 0.2 point more for a quarter more memory.
constexpr size_t DecidingLetters = 3;
constexpr size_t Kept = 3;
static_assert(Kept <= Leading);
// Nor is an entry kept whose words come together less often than this in the model's talk (the
// context's probability times the entry's): a pruning of the rarest contexts alone. At 1e-7 the
// index held 6.3 MB instead of 14.7 and saved 1.0 point less with one offer on the held-out
// conversation, 1.3 with three; at 0, 16.8 MB saved no more.
constexpr double RarestTogether = 1e-8;

struct Entry
{
    quint32 word;
    float probability;
};

// Followers grouped by what they follow: those of group g are entries[starts[g]] up to
// entries[starts[g + 1]], sorted by word.
struct Grouped
{
    std::vector<quint32> starts;
    std::vector<Entry> entries;

    template <typename Visit>
    void fill(quint32 groups, Visit &&visit)
    {
        starts.assign(groups + 1, 0);
        visit([&](quint32 group, quint32, float) { ++starts[group + 1]; });
        for (quint32 g = 0; g < groups; ++g)
            starts[g + 1] += starts[g];
        entries.resize(starts[groups]);
        std::vector<quint32> at(starts.begin(), starts.end() - 1);
        visit([&](quint32 group, quint32 word, float p) { entries[at[group]++] = { word, p }; });
    }
    std::pair<const Entry *, const Entry *> of(quint32 group) const
    {
        return { entries.data() + starts[group], entries.data() + starts[group + 1] };
    }
};

// The k-th highest of the probabilities it was given, 0 while it was given fewer.
class KthHighest
{
public:
    explicit KthHighest(size_t k) : m_k(k) { }
    void add(float probability)
    {
        if (probability <= m_top[m_k - 1])
            return;
        size_t at = m_k - 1;
        for (; at > 0 && m_top[at - 1] < probability; --at)
            m_top[at] = m_top[at - 1];
        m_top[at] = probability;
    }
    float value() const { return m_top[m_k - 1]; }

private:
    size_t m_k;
    std::array<float, Leading> m_top {};
};

// The k-th highest probability of the entries between first and last whose words lie in
// [low, high).
float kthHighest(const Entry *first, const Entry *last, quint32 low, quint32 high, size_t k)
{
    first = std::lower_bound(
        first, last, low, [](const Entry &entry, quint32 word) { return entry.word < word; });
    KthHighest best(k);
    for (; first != last && first->word < high; ++first)
        best.add(first->probability);
    return best.value();
}

// A span of followers keeps its likeliest first (NgramTables.h); of two as likely, the first.
void putLikeliestFirst(std::vector<quint32> &followers, size_t begin)
{
    for (size_t at = begin; at < std::min(begin + Leading, followers.size()); ++at) {
        const auto first = followers.begin() + qsizetype(at);
        const auto likeliest = std::min_element(
            first, followers.end(), [](quint32 a, quint32 b) { return code(a) < code(b); });
        std::rotate(first, likeliest, likeliest + 1);
    }
}

using Range = std::pair<quint32, quint32>;

class Builder
{
public:
    explicit Builder(const SphinxModel &model) : m_model(model), m_words(model.wordTexts()) { }

    NgramIndexBuilder::Built build(const std::function<bool(const QByteArray &)> &excluded)
    {
        if (m_model.words() == 0 || m_model.words() > MaxWords)
            return {};
        readWords(excluded);
        keepSingles();
        if (m_built.unigramEnd == 0)
            return {};
        // Words never offered are left out of the followers: else a word that may not be offered
        // would hide the likeliest one that may.
        Grouped pairs;
        pairs.fill(m_model.words(), [&](auto &&add) {
            for (quint32 w = 0; w < m_model.words(); ++w)
                for (quint32 e = m_model.pairsBegin(w);
                     m_offerable[w] && e < m_model.pairsBegin(w + 1); ++e)
                    add(m_model.pairFirst(e), w, m_model.pairProbability(e));
        });
        keepFollowersOfWords(pairs);
        keepFollowersOfPairs(pairs);
        m_built.followers.shrink_to_fit();
        m_built.pairs.shrink_to_fit();
        return std::move(m_built);
    }

private:
    // The ids of the words longer than prefix that start with it.
    Range startingWith(std::string_view prefix) const
    {
        const auto low = std::upper_bound(m_words.begin(), m_words.end(), prefix);
        const auto high = std::partition_point(
            low, m_words.end(), [&](std::string_view word) { return word.starts_with(prefix); });
        return { quint32(low - m_words.begin()), quint32(high - m_words.begin()) };
    }
    qint64 id(std::string_view word) const
    {
        const auto it = std::lower_bound(m_words.begin(), m_words.end(), word);
        return it != m_words.end() && *it == word ? it - m_words.begin() : -1;
    }

    void readWords(const std::function<bool(const QByteArray &)> &excluded)
    {
        m_offerable.resize(m_model.words());
        for (quint32 id = 0; id < m_model.words(); ++id) {
            const std::string_view w = m_words[id];
            // A word with a hyphen or a dot ("brand-new", "a.") is two words and a mark to the
            // strip: offered whole it could never be the word typed.
            m_offerable[id] = !w.empty() && w.front() != '\''
                && std::all_of(w.begin(), w.end(),
                    [](char c) {
                        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\'';
                    })
                && !excluded(QByteArray(w.data(), qsizetype(w.size())));
            m_built.offsets.push_back(quint32(m_built.text.size()));
            m_built.text.append(w);
        }
        m_built.offsets.push_back(quint32(m_built.text.size()));
        m_built.sentenceStart = quint32(std::max<qint64>(id("<s>"), 0));
    }

    // Single words are few: each is kept where it wins any prefix, so that every prefix still
    // has an offer once the contexts' entries give out.
    void keepSingles()
    {
        const quint32 words = m_model.words();
        m_single.resize(words);
        m_singleBackoff.resize(words);
        for (quint32 w = 0; w < words; ++w) {
            m_single[w] = m_model.probability(w);
            m_singleBackoff[w] = m_model.backoff(w);
            m_built.probability.push_back(quint16(encode(m_single[w])));
            m_built.backoff.push_back(quint16(encode(m_singleBackoff[w])));
        }
        // The words that a word competes with: those that start with its first letters.
        m_rivals.resize(words);
        m_bestSingle.resize(words);
        for (quint32 w = 0; w < words; ++w) {
            const std::string_view word = m_words[w];
            m_rivals[w] = startingWith(word.substr(0, std::min(word.size() - 1, DecidingLetters)));
            KthHighest rivals(Kept);
            for (quint32 r = m_rivals[w].first; r < m_rivals[w].second; ++r)
                if (m_offerable[r])
                    rivals.add(m_single[r]);
            m_bestSingle[w] = rivals.value();
            const auto [low, high] = startingWith(word.substr(0, word.size() - 1));
            KthHighest deepest(Kept);
            for (quint32 r = low; r < high; ++r)
                if (m_offerable[r])
                    deepest.add(m_single[r]);
            if (m_offerable[w] && m_single[w] >= deepest.value())
                m_built.followers.push_back(follower(w, m_single[w]));
        }
        m_built.unigramEnd = quint32(m_built.followers.size());
        putLikeliestFirst(m_built.followers, 0);
        // The sentence start is no word of the talk: a sentence's end says how often one starts.
        m_startProbability = m_single[quint32(std::max<qint64>(id("</s>"), 0))];
    }

    float contextProbability(quint32 word) const
    {
        return word == m_built.sentenceStart ? m_startProbability : m_single[word];
    }

    // Kept where it is the likeliest of its rivals after its context and beats what the back-off
    // would give the likeliest of them: elsewhere it could not change an offer.
    template <typename Lower>
    void keep(const Entry *first, const Entry *last, float backoff, double context, Lower &&lower)
    {
        const size_t begin = m_built.followers.size();
        for (const Entry *e = first; e != last; ++e) {
            if (context * e->probability < RarestTogether)
                continue;
            const auto [low, high] = m_rivals[e->word];
            if (e->probability >= kthHighest(first, last, low, high, Kept)
                && e->probability > backoff * lower(e->word))
                m_built.followers.push_back(follower(e->word, e->probability));
        }
        putLikeliestFirst(m_built.followers, begin);
    }

    void keepFollowersOfWords(const Grouped &pairs)
    {
        const quint32 words = m_model.words();
        m_built.firstFollower.resize(words + 1);
        for (quint32 w = 0; w < words; ++w) {
            m_built.firstFollower[w] = quint32(m_built.followers.size());
            const auto [first, last] = pairs.of(w);
            keep(first, last, m_singleBackoff[w], contextProbability(w),
                [&](quint32 word) { return m_bestSingle[word]; });
        }
        m_built.firstFollower[words] = quint32(m_built.followers.size());
    }

    // Triples by the entry of their first two words, found from the second.
    Grouped triples() const
    {
        Grouped triples;
        triples.fill(m_model.pairCount(), [&](auto &&add) {
            for (quint32 w = 0; w < m_model.words(); ++w)
                for (quint32 e = m_model.pairsBegin(w);
                     m_offerable[w] && e < m_model.pairsBegin(w + 1); ++e) {
                    const quint32 second = m_model.pairFirst(e);
                    for (quint32 t = m_model.triplesBegin(e); t < m_model.triplesBegin(e + 1);
                         ++t) {
                        const qint64 pair = m_model.pair(m_model.tripleFirst(t), second);
                        if (pair >= 0)
                            add(quint32(pair), w, m_model.tripleProbability(t));
                    }
                }
        });
        return triples;
    }

    void keepFollowersOfPairs(const Grouped &pairs)
    {
        const quint32 words = m_model.words();
        const Grouped byPair = triples();
        m_built.firstPair.resize(words + 1);
        for (quint32 second = 0; second < words; ++second) {
            const auto [pairFirst, pairLast] = pairs.of(second);
            auto lower = [&](quint32 word) {
                const auto [low, high] = m_rivals[word];
                return std::max(kthHighest(pairFirst, pairLast, low, high, Kept),
                    m_singleBackoff[second] * m_bestSingle[word]);
            };
            m_built.firstPair[second] = quint32(m_built.pairs.size());
            for (quint32 e = m_model.pairsBegin(second); e < m_model.pairsBegin(second + 1); ++e) {
                const auto [first, last] = byPair.of(e);
                const quint32 begin = quint32(m_built.followers.size());
                const float backoff = m_model.pairBackoff(e);
                keep(first, last, backoff,
                    contextProbability(m_model.pairFirst(e)) * m_model.pairProbability(e), lower);
                if (m_built.followers.size() > begin)
                    m_built.pairs.push_back({ follower(m_model.pairFirst(e), backoff), begin });
            }
        }
        m_built.firstPair[words] = quint32(m_built.pairs.size());
    }

    const SphinxModel &m_model;
    const std::vector<std::string_view> &m_words;
    NgramIndexBuilder::Built m_built;
    std::vector<bool> m_offerable;
    std::vector<float> m_single;
    std::vector<float> m_singleBackoff;
    float m_startProbability = 0;
    // The words each word competes with, and the likeliest of them alone.
    std::vector<Range> m_rivals;
    std::vector<float> m_bestSingle;
};

} // namespace

Ngram::Tables NgramIndexBuilder::Built::tables() const
{
    return { text, offsets, probability, backoff, followers, unigramEnd, firstFollower, pairs,
        firstPair, sentenceStart };
}

NgramIndexBuilder::Built NgramIndexBuilder::build(
    const SphinxModel &model, const std::function<bool(const QByteArray &)> &excluded)
{
    return Builder(model).build(excluded);
}

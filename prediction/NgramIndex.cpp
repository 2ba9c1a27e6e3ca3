// SPDX-License-Identifier: GPL-3.0-or-later
#include "NgramIndex.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr char Header[] = "Trie Language Model";
constexpr qsizetype HeaderSize = sizeof(Header) - 1;
constexpr int Order = 3;
// The quantisation tables: 2^16 probabilities and 2^16 back-offs of word pairs, then 2^16
// probabilities of triples.
constexpr quint32 Bins = 1U << 16;
constexpr qsizetype UnigramSize = 12;
// Scores are logarithms to the base 1.0001.
const double LogBase = std::log(1.0001);
// An entry is kept where it is the likeliest after its context of the words that start with its
// first three letters (or all but its last): an offer made only later saves too little to keep
// an entry for, and keeping only each context's few likeliest followers cost two points. On the
// tuned conversation, two letters saved 0.4 point less, all but the last 0.2 point more for a
// quarter more memory.
constexpr size_t DecidingLetters = 3;
// Nor is an entry kept whose words come together less often than this in the model's talk (the
// context's probability times the entry's): a pruning of the rare contexts that keeps the index
// at 5.3 MB, and costs 0.1 point of savings on the tuned conversation against half this (7.2 MB).
constexpr double RarestTogether = 1e-7;

// Probabilities are kept as codes of 15 bits, the lower the likelier: their logarithm in steps
// of about a tenth of a percent, from e^4 (a back-off may exceed 1) down to e^-36, below any
// word's.
constexpr int CodeBits = 15;
constexpr quint32 Codes = 1U << CodeBits;
constexpr double TopLogarithm = 4;
constexpr double CodeStep = 40.0 / Codes;
// A follower is a word and a code in 32 bits, the word above, so that followers sort by word.
constexpr quint32 MaxWords = 1U << (32 - CodeBits);

quint32 encode(double probability)
{
    if (!(probability > 0))
        return Codes - 1;
    return quint32(std::clamp<double>(
        std::round((TopLogarithm - std::log(probability)) / CodeStep), 0, Codes - 1));
}
double decode(quint32 code)
{
    return std::exp(TopLogarithm - code * CodeStep);
}
quint32 follower(quint32 word, double probability)
{
    return word << CodeBits | encode(probability);
}
quint32 wordOf(quint32 follower)
{
    return follower >> CodeBits;
}
quint32 code(quint32 follower)
{
    return follower & (Codes - 1);
}

// A span of followers keeps its likeliest first, so that the likeliest after a context is found
// without a look at the others (a common word has thousands); the others stay sorted by word.
void putLikeliestFirst(std::vector<quint32> &followers, size_t begin)
{
    const auto first = followers.begin() + qsizetype(begin);
    const auto likeliest = std::min_element(
        first, followers.end(), [](quint32 a, quint32 b) { return code(a) < code(b); });
    if (likeliest != followers.end())
        std::rotate(first, likeliest, likeliest + 1);
}

// The follower of word in such a span, or null.
const quint32 *find(const quint32 *first, const quint32 *last, quint32 word)
{
    if (first == last)
        return nullptr;
    if (wordOf(*first) == word)
        return first;
    const quint32 *it = std::lower_bound(
        first + 1, last, word, [](quint32 f, quint32 w) { return wordOf(f) < w; });
    return it != last && wordOf(*it) == word ? it : nullptr;
}

// The likeliest follower in such a span whose word lies in [low, high), or null.
const quint32 *likeliestIn(const quint32 *first, const quint32 *last, quint32 low, quint32 high)
{
    if (first == last)
        return nullptr;
    if (wordOf(*first) >= low && wordOf(*first) < high)
        return first;
    const quint32 *likeliest = nullptr;
    for (const quint32 *f = std::lower_bound(
             first + 1, last, low, [](quint32 f, quint32 w) { return wordOf(f) < w; });
         f != last && wordOf(*f) < high; ++f)
        if (!likeliest || code(*f) < code(*likeliest))
            likeliest = f;
    return likeliest;
}

int requiredBits(quint32 value)
{
    int bits = 0;
    for (; value; value >>= 1)
        ++bits;
    return bits;
}

template <typename T>
T readAt(const uchar *data, qsizetype offset)
{
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

// The model as the file lays it out: a trie keyed from the predicted word back, its entries
// packed in bit fields (the file's every section ends with eight spare bytes, so a 64-bit read
// never runs past it).
struct ReverseTrie
{
    const uchar *unigrams = nullptr;
    const uchar *middle = nullptr;
    const uchar *longest = nullptr;
    const float *bins = nullptr;
    quint32 counts[Order] {};
    int wordBits = 0;
    int nextBits = 0;

    static quint32 bits(const uchar *base, quint64 offset, int width)
    {
        return quint32((readAt<quint64>(base, qsizetype(offset >> 3)) >> (offset & 7))
            & ((quint64(1) << width) - 1));
    }
    static float probability(float score) { return float(std::exp(score * LogBase)); }

    float unigramScore(quint32 word, int field) const
    {
        return readAt<float>(unigrams, qsizetype(word) * UnigramSize + field * 4);
    }
    quint32 unigramNext(quint32 word) const
    {
        return readAt<quint32>(unigrams, qsizetype(word) * UnigramSize + 8);
    }
    quint64 middleAt(quint32 entry) const { return quint64(entry) * (wordBits + 32 + nextBits); }
    quint32 middleWord(quint32 entry) const { return bits(middle, middleAt(entry), wordBits); }
    float middleBackoff(quint32 entry) const
    {
        return probability(bins[Bins + bits(middle, middleAt(entry) + wordBits, 16)]);
    }
    float middleProbability(quint32 entry) const
    {
        return probability(bins[bits(middle, middleAt(entry) + wordBits + 16, 16)]);
    }
    quint32 middleNext(quint32 entry) const
    {
        return bits(middle, middleAt(entry) + wordBits + 32, nextBits);
    }
    quint64 longestAt(quint32 entry) const { return quint64(entry) * (wordBits + 16); }
    quint32 longestWord(quint32 entry) const { return bits(longest, longestAt(entry), wordBits); }
    float longestProbability(quint32 entry) const
    {
        return probability(bins[2 * Bins + bits(longest, longestAt(entry) + wordBits, 16)]);
    }

    // Every pointer inside its table and in order, every word a word: what a damaged file would
    // otherwise turn into reads outside the mapping. The tables may hold fewer entries than
    // the header counts: the last word's end is where they end.
    bool isSound() const
    {
        for (quint32 w = 0; w < counts[0]; ++w)
            if (unigramNext(w) > unigramNext(w + 1) || unigramNext(w + 1) > counts[1])
                return false;
        const quint32 pairs = unigramNext(counts[0]);
        for (quint32 e = 0; e < pairs; ++e)
            if (middleWord(e) >= counts[0] || middleNext(e) > middleNext(e + 1)
                || middleNext(e + 1) > counts[2])
                return false;
        for (quint32 e = 0; e < middleNext(pairs); ++e)
            if (longestWord(e) >= counts[0])
                return false;
        return true;
    }

    // The entry of the pair "first second", the words before second being sorted.
    qint64 pairEntry(quint32 first, quint32 second) const
    {
        quint32 low = unigramNext(second), high = unigramNext(second + 1);
        while (low < high) {
            const quint32 mid = low + (high - low) / 2;
            if (middleWord(mid) < first)
                low = mid + 1;
            else
                high = mid;
        }
        return low < unigramNext(second + 1) && middleWord(low) == first ? low : -1;
    }
};

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

// The highest probability of the entries between first and last whose words lie in [low, high).
template <typename It>
float highest(It first, It last, quint32 low, quint32 high)
{
    first = std::lower_bound(
        first, last, low, [](const auto &entry, quint32 word) { return entry.word < word; });
    float best = 0;
    for (; first != last && first->word < high; ++first)
        best = std::max(best, first->probability);
    return best;
}

} // namespace

QString NgramIndex::defaultSphinxModel()
{
    return QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us.lm.bin");
}

NgramIndex NgramIndex::fromSphinxModel(
    const QString &path, const std::function<bool(const QByteArray &)> &excluded)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    const uchar *data = file.map(0, size);
    constexpr qsizetype CountsAt = HeaderSize + 1;
    constexpr qsizetype BinsAt = CountsAt + Order * 4 + 4;
    if (!data || size < BinsAt || std::memcmp(data, Header, HeaderSize) != 0
        || data[HeaderSize] != Order)
        return {};
    ReverseTrie trie;
    for (int n = 0; n < Order; ++n)
        trie.counts[n] = readAt<quint32>(data, CountsAt + n * 4);
    const quint32 words = trie.counts[0];
    if (words > MaxWords)
        return {};
    trie.wordBits = requiredBits(words);
    trie.nextBits = requiredBits(trie.counts[2]);
    auto sectionSize = [](quint32 entries, int bitsEach) {
        return qint64((quint64(entries + 1) * bitsEach + 7) / 8 + 8);
    };
    std::vector<float> bins(3 * Bins);
    qint64 at = BinsAt + qint64(bins.size() * sizeof(float));
    const qint64 middleAt = at + qint64(words + 1) * UnigramSize;
    const qint64 longestAt
        = middleAt + sectionSize(trie.counts[1], trie.wordBits + 32 + trie.nextBits);
    const qint64 textAt = longestAt + sectionSize(trie.counts[2], trie.wordBits + 16);
    if (words == 0 || trie.wordBits > 25 || textAt + 4 > size
        || textAt + 4 + readAt<quint32>(data, textAt) > size)
        return {};
    std::memcpy(bins.data(), data + BinsAt, bins.size() * sizeof(float));
    trie.bins = bins.data();
    trie.unigrams = data + at;
    trie.middle = data + middleAt;
    trie.longest = data + longestAt;
    if (!trie.isSound())
        return {};

    NgramIndex index;
    // The words, NUL-terminated and sorted bytewise in the file: ids stay as they are.
    const auto *text = reinterpret_cast<const char *>(data + textAt + 4);
    const char *textEnd = text + readAt<quint32>(data, textAt);
    index.m_offsets.reserve(words + 1);
    std::vector<bool> offerable(words);
    for (const char *word = text; word < textEnd && index.m_offsets.size() < words;) {
        const std::string_view w(word, strnlen(word, size_t(textEnd - word)));
        if (!index.m_offsets.empty() && w <= index.wordAt(quint32(index.m_offsets.size() - 1)))
            return {};
        // A word with a hyphen or a dot ("brand-new", "a.") is two words and a mark to the
        // strip: offered whole it could never be the word typed.
        offerable[index.m_offsets.size()] = !w.empty() && w.front() != '\''
            && std::all_of(w.begin(), w.end(),
                [](char c) {
                    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\'';
                })
            && !excluded(QByteArray(w.data(), qsizetype(w.size())));
        index.m_offsets.push_back(quint32(index.m_text.size()));
        index.m_text.append(w);
        word += w.size() + 1;
    }
    index.m_offsets.push_back(quint32(index.m_text.size()));
    if (index.m_offsets.size() != words + 1)
        return {};
    index.m_text.shrink_to_fit();
    index.m_sentenceStart = quint32(std::max<qint64>(index.id("<s>"), 0));

    std::vector<float> single(words), singleBackoff(words);
    index.m_probability.resize(words);
    index.m_backoff.resize(words);
    for (quint32 w = 0; w < words; ++w) {
        single[w] = ReverseTrie::probability(trie.unigramScore(w, 0));
        singleBackoff[w] = ReverseTrie::probability(trie.unigramScore(w, 1));
        index.m_probability[w] = quint16(encode(single[w]));
        index.m_backoff[w] = quint16(encode(singleBackoff[w]));
    }
    // The words that a word competes with: those that start with its first letters.
    std::vector<std::pair<quint32, quint32>> rivals(words);
    std::vector<float> bestSingle(words);
    for (quint32 w = 0; w < words; ++w) {
        const std::string_view word = index.wordAt(w);
        rivals[w]
            = index.idsStartingWith(word.substr(0, std::min(word.size() - 1, DecidingLetters)));
        for (quint32 r = rivals[w].first; r < rivals[w].second; ++r)
            if (offerable[r])
                bestSingle[w] = std::max(bestSingle[w], single[r]);
        // Single words are few: each is kept where it wins any prefix, so that every prefix
        // still has an offer once the contexts' entries give out.
        const auto [low, high] = index.idsStartingWith(word.substr(0, word.size() - 1));
        float deepest = 0;
        for (quint32 r = low; r < high; ++r)
            if (offerable[r])
                deepest = std::max(deepest, single[r]);
        if (offerable[w] && single[w] >= deepest)
            index.m_followers.push_back(follower(w, single[w]));
    }
    index.m_unigramEnd = quint32(index.m_followers.size());
    if (index.m_unigramEnd == 0)
        return {};
    putLikeliestFirst(index.m_followers, 0);

    // Kept where it is the likeliest of its rivals after its context and beats what the back-off
    // would give the likeliest of them: elsewhere it could not change an offer.
    // The sentence start is no word of the talk: a sentence's end says how often one starts.
    const float startProbability = single[quint32(std::max<qint64>(index.id("</s>"), 0))];
    auto contextProbability = [&](quint32 word) {
        return word == index.m_sentenceStart ? startProbability : single[word];
    };
    auto keep
        = [&](const Entry *first, const Entry *last, float backoff, double context, auto &&lower) {
              const size_t begin = index.m_followers.size();
              for (const Entry *e = first; e != last; ++e) {
                  if (context * e->probability < RarestTogether)
                      continue;
                  const auto [low, high] = rivals[e->word];
                  if (e->probability >= highest(first, last, low, high)
                      && e->probability > backoff * lower(e->word))
                      index.m_followers.push_back(follower(e->word, e->probability));
              }
              putLikeliestFirst(index.m_followers, begin);
          };
    Grouped pairs;
    // Words never offered are left out of the followers: else a word that may not be offered
    // would hide the likeliest one that may.
    pairs.fill(words, [&](auto &&add) {
        for (quint32 w = 0; w < words; ++w)
            for (quint32 e = trie.unigramNext(w); offerable[w] && e < trie.unigramNext(w + 1); ++e)
                add(trie.middleWord(e), w, trie.middleProbability(e));
    });
    index.m_firstFollower.resize(words + 1);
    for (quint32 w = 0; w < words; ++w) {
        index.m_firstFollower[w] = quint32(index.m_followers.size());
        const auto [first, last] = pairs.of(w);
        keep(first, last, singleBackoff[w], contextProbability(w),
            [&](quint32 word) { return bestSingle[word]; });
    }
    index.m_firstFollower[words] = quint32(index.m_followers.size());

    // Triples by the entry of their first two words, found from the second.
    index.m_firstPair.resize(words + 1);
    Grouped triples;
    triples.fill(trie.counts[1], [&](auto &&add) {
        for (quint32 w = 0; w < words; ++w)
            for (quint32 e = trie.unigramNext(w); offerable[w] && e < trie.unigramNext(w + 1);
                 ++e) {
                const quint32 second = trie.middleWord(e);
                for (quint32 t = trie.middleNext(e); t < trie.middleNext(e + 1); ++t) {
                    const qint64 pair = trie.pairEntry(trie.longestWord(t), second);
                    if (pair >= 0)
                        add(quint32(pair), w, trie.longestProbability(t));
                }
            }
    });
    for (quint32 second = 0; second < words; ++second) {
        const auto [pairFirst, pairLast] = pairs.of(second);
        auto lower = [&](quint32 word) {
            const auto [low, high] = rivals[word];
            return std::max(
                highest(pairFirst, pairLast, low, high), singleBackoff[second] * bestSingle[word]);
        };
        index.m_firstPair[second] = quint32(index.m_pairs.size());
        for (quint32 e = trie.unigramNext(second); e < trie.unigramNext(second + 1); ++e) {
            const auto [first, last] = triples.of(e);
            const quint32 begin = quint32(index.m_followers.size());
            const float backoff = trie.middleBackoff(e);
            keep(first, last, backoff,
                contextProbability(trie.middleWord(e)) * trie.middleProbability(e), lower);
            if (index.m_followers.size() > begin)
                index.m_pairs.push_back({ follower(trie.middleWord(e), backoff), begin });
        }
    }
    index.m_firstPair[words] = quint32(index.m_pairs.size());
    index.m_followers.shrink_to_fit();
    index.m_pairs.shrink_to_fit();
    return index;
}

std::string_view NgramIndex::wordAt(quint32 id) const
{
    return std::string_view(m_text).substr(m_offsets[id], m_offsets[id + 1] - m_offsets[id]);
}

qint64 NgramIndex::id(std::string_view word) const
{
    const auto [low, high] = idsStartingWith(word);
    // The word itself sorts just before the longer words that start with it.
    return low > 0 && wordAt(low - 1) == word ? qint64(low) - 1 : -1;
}

std::pair<quint32, quint32> NgramIndex::idsStartingWith(std::string_view prefix) const
{
    if (m_offsets.empty())
        return {};
    const quint32 words = quint32(m_offsets.size() - 1);
    quint32 low = 0, high = words;
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (wordAt(mid) <= prefix)
            low = mid + 1;
        else
            high = mid;
    }
    quint32 end = low;
    for (quint32 step = 1; end < words && wordAt(end).starts_with(prefix); step *= 2) {
        quint32 next = std::min(words, end + step);
        if (wordAt(next - 1).starts_with(prefix)) {
            end = next;
            continue;
        }
        while (end < next && wordAt(end).starts_with(prefix))
            ++end;
        break;
    }
    return { low, end };
}

NgramIndex::Context NgramIndex::context(const QString &first, const QString &second) const
{
    Context context;
    if (second.isEmpty()) {
        context.second = m_sentenceStart;
        return context;
    }
    context.second = id(second.toStdString());
    const qint64 firstId = first.isEmpty() ? m_sentenceStart : id(first.toStdString());
    if (context.second < 0 || firstId < 0)
        return context;
    const Pair *begin = m_pairs.data() + m_firstPair[context.second];
    const Pair *end = m_pairs.data() + m_firstPair[context.second + 1];
    const Pair *it = std::lower_bound(begin, end, quint32(firstId),
        [](const Pair &pair, quint32 word) { return wordOf(pair.first) < word; });
    if (it != end && wordOf(it->first) == firstId)
        context.pair = it;
    return context;
}

NgramIndex::Span NgramIndex::followersOf(quint32 second) const
{
    return { m_followers.data() + m_firstFollower[second],
        m_followers.data() + m_firstFollower[second + 1] };
}

NgramIndex::Span NgramIndex::followersOf(const Pair &pair) const
{
    const Pair *next = &pair + 1;
    const quint32 end
        = next == m_pairs.data() + m_pairs.size() ? quint32(m_followers.size()) : next->begin;
    return { m_followers.data() + pair.begin, m_followers.data() + end };
}

double NgramIndex::probability(const Context &context, quint32 word) const
{
    double scale = 1;
    if (context.pair) {
        const auto [first, last] = followersOf(*context.pair);
        if (const Follower *f = find(first, last, word))
            return decode(code(*f));
        scale = decode(code(context.pair->first));
    }
    if (context.second >= 0) {
        const auto [first, last] = followersOf(quint32(context.second));
        if (const Follower *f = find(first, last, word))
            return scale * decode(code(*f));
        scale *= decode(m_backoff[context.second]);
    }
    return scale * decode(m_probability[word]);
}

double NgramIndex::probability(const Context &context, const QString &word) const
{
    const qint64 w = isEmpty() ? -1 : id(word.toStdString());
    return w < 0 ? 0 : probability(context, quint32(w));
}

NgramIndex::Best NgramIndex::best(const Context &context, const QString &prefix) const
{
    const auto [low, high] = idsStartingWith(prefix.toStdString());
    if (isEmpty() || low >= high)
        return {};
    const Follower *bestFollower = nullptr;
    double bestProbability = 0;
    auto scan = [&](Span span, double scale) {
        const Follower *likeliest = likeliestIn(span.first, span.second, low, high);
        if (likeliest && decode(code(*likeliest)) * scale > bestProbability) {
            bestProbability = decode(code(*likeliest)) * scale;
            bestFollower = likeliest;
        }
    };
    double scale = 1;
    if (context.pair) {
        scan(followersOf(*context.pair), 1);
        scale = decode(code(context.pair->first));
    }
    if (context.second >= 0) {
        scan(followersOf(quint32(context.second)), scale);
        scale *= decode(m_backoff[context.second]);
    }
    scan({ m_followers.data(), m_followers.data() + m_unigramEnd }, scale);
    if (!bestFollower)
        return {};
    const quint32 word = wordOf(*bestFollower);
    const std::string_view text = wordAt(word);
    // A word the model has after these words at a lower level may be known higher up with a
    // probability of its own.
    return { QString::fromUtf8(text.data(), qsizetype(text.size())), probability(context, word) };
}

qsizetype NgramIndex::bytes() const
{
    return qsizetype(m_text.capacity() + m_offsets.capacity() * sizeof(quint32)
        + (m_probability.capacity() + m_backoff.capacity()) * sizeof(quint16)
        + m_followers.capacity() * sizeof(Follower)
        + (m_firstFollower.capacity() + m_firstPair.capacity()) * sizeof(quint32)
        + m_pairs.capacity() * sizeof(Pair));
}

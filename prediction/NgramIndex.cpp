// SPDX-License-Identifier: GPL-3.0-or-later
#include "NgramIndex.h"

#include "NgramIndexFile.h"

#include <QVarLengthArray>

using namespace Ngram;

namespace {

// The part [begin, end) of a table, or nothing where the table says more than it holds.
template <typename T>
std::span<const T> slice(std::span<const T> table, quint32 begin, quint32 end)
{
    if (begin > end || end > table.size())
        return {};
    return table.subspan(begin, end - begin);
}

bool lowerWord(quint32 follower, quint32 word)
{
    return wordOf(follower) < word;
}

// The follower of word in a span of them, or null.
const quint32 *find(std::span<const quint32> span, quint32 word)
{
    const auto leading = span.first(std::min(Leading, span.size()));
    for (const quint32 &f : leading)
        if (wordOf(f) == word)
            return &f;
    const auto rest = span.subspan(leading.size());
    const auto it = std::lower_bound(rest.begin(), rest.end(), word, lowerWord);
    return it != rest.end() && wordOf(*it) == word ? &*it : nullptr;
}

// The likeliest words found so far, each once with the highest probability it was found with;
// of two as likely, the one found first.
class Likeliest
{
public:
    explicit Likeliest(int count) : m_count(count) { }

    void consider(quint32 word, double probability)
    {
        const auto same = std::find_if(
            m_found.begin(), m_found.end(), [&](const auto &found) { return found.first == word; });
        if (same != m_found.end()) {
            if (same->second >= probability)
                return;
            m_found.erase(same);
        }
        const auto at = std::find_if(m_found.begin(), m_found.end(),
            [&](const auto &found) { return found.second < probability; });
        if (at - m_found.begin() >= m_count)
            return;
        m_found.insert(at, { word, probability });
        if (m_found.size() > m_count)
            m_found.removeLast();
    }
    // The likeliest followers in span whose words lie in [low, high), scaled.
    void considerIn(std::span<const quint32> span, quint32 low, quint32 high, double scale)
    {
        // The leading ones are likelier than all the others.
        const auto leading = span.first(std::min(Leading, span.size()));
        QVarLengthArray<quint32, 8> best;
        for (quint32 f : leading)
            if (wordOf(f) >= low && wordOf(f) < high && best.size() < m_count)
                best.append(f);
        // The others, sorted by word, by their codes alone: of two as likely, the first.
        const qsizetype wanted = m_count - best.size();
        const qsizetype fromLeading = best.size();
        const auto rest = span.subspan(leading.size());
        for (auto f = std::lower_bound(rest.begin(), rest.end(), low, lowerWord);
             wanted > 0 && f != rest.end() && wordOf(*f) < high; ++f) {
            auto at = best.end();
            while (at != best.begin() + fromLeading && code(*(at - 1)) > code(*f))
                --at;
            if (at - best.begin() - fromLeading < wanted) {
                best.insert(at, *f);
                if (best.size() - fromLeading > wanted)
                    best.removeLast();
            }
        }
        for (quint32 f : best)
            consider(wordOf(f), decode(code(f)) * scale);
    }
    const QList<std::pair<quint32, double>> &found() const { return m_found; }

private:
    qsizetype m_count;
    QList<std::pair<quint32, double>> m_found;
};

} // namespace

NgramIndex::NgramIndex(const Tables &tables, std::shared_ptr<const void> owner)
    : m_tables(tables), m_owner(std::move(owner))
{ }

NgramIndex NgramIndex::open(const QString &path, QString *error)
{
    NgramIndexFile::Mapped mapped = NgramIndexFile::map(path);
    if (error)
        *error = mapped.error;
    return { mapped.tables, std::move(mapped.mapping) };
}

std::string_view NgramIndex::wordAt(quint32 id) const
{
    const quint32 begin = m_tables.offsets[id];
    const quint32 end = m_tables.offsets[id + 1];
    if (begin > end || end > m_tables.text.size())
        return {};
    return m_tables.text.substr(begin, end - begin);
}

qint64 NgramIndex::id(std::string_view word) const
{
    const auto [low, high] = idsStartingWith(word);
    // The word itself sorts just before the longer words that start with it.
    return low > 0 && wordAt(low - 1) == word ? qint64(low) - 1 : -1;
}

std::pair<quint32, quint32> NgramIndex::idsStartingWith(std::string_view prefix) const
{
    const quint32 words = m_tables.words();
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
    if (isEmpty())
        return context;
    if (second.isEmpty()) {
        context.second = m_tables.sentenceStart;
        return context;
    }
    context.second = id(second.toStdString());
    const qint64 firstId = first.isEmpty() ? m_tables.sentenceStart : id(first.toStdString());
    if (context.second < 0 || firstId < 0)
        return context;
    const auto pairs = slice(
        m_tables.pairs, m_tables.firstPair[context.second], m_tables.firstPair[context.second + 1]);
    const auto it = std::lower_bound(pairs.begin(), pairs.end(), quint32(firstId),
        [](const Pair &pair, quint32 word) { return wordOf(pair.first) < word; });
    if (it != pairs.end() && wordOf(it->first) == firstId)
        context.pair = &*it;
    return context;
}

NgramIndex::Span NgramIndex::followersOf(quint32 second) const
{
    return slice(
        m_tables.followers, m_tables.firstFollower[second], m_tables.firstFollower[second + 1]);
}

NgramIndex::Span NgramIndex::followersOf(const Pair &pair) const
{
    const Pair *next = &pair + 1;
    const bool last = next == m_tables.pairs.data() + m_tables.pairs.size();
    return slice(
        m_tables.followers, pair.begin, last ? quint32(m_tables.followers.size()) : next->begin);
}

double NgramIndex::probability(const Context &context, quint32 word) const
{
    double scale = 1;
    if (context.pair) {
        if (const quint32 *f = find(followersOf(*context.pair), word))
            return decode(code(*f));
        scale = decode(code(context.pair->first));
    }
    if (context.second >= 0) {
        if (const quint32 *f = find(followersOf(quint32(context.second)), word))
            return scale * decode(code(*f));
        scale *= decode(m_tables.backoff[context.second]);
    }
    return scale * decode(m_tables.probability[word]);
}

double NgramIndex::probability(const Context &context, const QString &word) const
{
    const qint64 w = isEmpty() ? -1 : id(word.toStdString());
    return w < 0 ? 0 : probability(context, quint32(w));
}

QList<NgramIndex::Scored> NgramIndex::likeliest(
    const Context &context, const QString &prefix, int count) const
{
    const auto [low, high] = idsStartingWith(prefix.toStdString());
    if (low >= high || count <= 0)
        return {};
    Likeliest likeliest(count);
    double scale = 1;
    if (context.pair) {
        likeliest.considerIn(followersOf(*context.pair), low, high, 1);
        scale = decode(code(context.pair->first));
    }
    if (context.second >= 0) {
        likeliest.considerIn(followersOf(quint32(context.second)), low, high, scale);
        scale *= decode(m_tables.backoff[context.second]);
    }
    likeliest.considerIn(m_tables.followers.first(m_tables.unigramEnd), low, high, scale);
    QList<Scored> words;
    for (const auto &[word, found] : likeliest.found()) {
        const std::string_view text = wordAt(word);
        // A word the model has after these words at a lower level may be known higher up with a
        // probability of its own, which ranks it.
        words.append(
            { QString::fromUtf8(text.data(), qsizetype(text.size())), probability(context, word) });
    }
    std::stable_sort(words.begin(), words.end(),
        [](const Scored &a, const Scored &b) { return a.probability > b.probability; });
    return words;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SphinxModel.h"

#include <cmath>
#include <cstring>

namespace {

constexpr char Header[] = "Trie Language Model";
constexpr qsizetype HeaderSize = sizeof(Header) - 1;
// The quantisation tables: 2^16 probabilities and 2^16 back-offs of word pairs, then 2^16
// probabilities of triples.
constexpr quint32 Bins = 1U << 16;
constexpr qsizetype UnigramSize = 12;
// Scores are logarithms to the base 1.0001.
const double LogBase = std::log(1.0001);

template <typename T>
T readAt(const uchar *data, qsizetype offset)
{
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

// The file's every section ends with eight spare bytes, so a 64-bit read never runs past it.
quint32 bits(const uchar *base, quint64 offset, int width)
{
    return quint32((readAt<quint64>(base, qsizetype(offset >> 3)) >> (offset & 7))
        & ((quint64(1) << width) - 1));
}

float probabilityOf(float score)
{
    return float(std::exp(score * LogBase));
}

int requiredBits(quint32 value)
{
    int bits = 0;
    for (; value; value >>= 1)
        ++bits;
    return bits;
}

} // namespace

SphinxModel::SphinxModel(const QString &path) : m_file(path)
{
    if (!map())
        m_words.clear();
}

QString SphinxModel::debianModel()
{
    return QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us.lm.bin");
}

bool SphinxModel::map()
{
    auto refuse = [this](const QString &why) {
        m_error = why;
        return false;
    };
    if (!m_file.open(QIODevice::ReadOnly))
        return refuse(m_file.errorString());
    const qint64 size = m_file.size();
    const uchar *data = m_file.map(0, size);
    constexpr qsizetype CountsAt = HeaderSize + 1;
    constexpr qsizetype BinsAt = CountsAt + Order * 4 + 4;
    if (!data || size < BinsAt || std::memcmp(data, Header, HeaderSize) != 0
        || data[HeaderSize] != Order)
        return refuse(QStringLiteral("no sphinxbase trigram model"));
    for (int n = 0; n < Order; ++n)
        m_counts[n] = readAt<quint32>(data, CountsAt + n * 4);
    m_wordBits = requiredBits(words());
    m_nextBits = requiredBits(m_counts[2]);
    auto sectionSize = [](quint32 entries, int bitsEach) {
        return qint64((quint64(entries + 1) * bitsEach + 7) / 8 + 8);
    };
    m_bins.resize(3 * Bins);
    const qint64 unigramsAt = BinsAt + qint64(m_bins.size() * sizeof(float));
    const qint64 middleAt = unigramsAt + qint64(words() + 1) * UnigramSize;
    const qint64 longestAt = middleAt + sectionSize(m_counts[1], m_wordBits + 32 + m_nextBits);
    const qint64 textAt = longestAt + sectionSize(m_counts[2], m_wordBits + 16);
    if (words() == 0 || m_wordBits > 25 || textAt + 4 > size
        || textAt + 4 + readAt<quint32>(data, textAt) > size)
        return refuse(QStringLiteral("cut short"));
    std::memcpy(m_bins.data(), data + BinsAt, m_bins.size() * sizeof(float));
    m_unigrams = data + unigramsAt;
    m_middle = data + middleAt;
    m_longest = data + longestAt;
    if (!isSound()
        || !readWords(data + textAt + 4, data + textAt + 4 + readAt<quint32>(data, textAt)))
        return refuse(QStringLiteral("damaged"));
    return true;
}

// Every pointer inside its table and in order, every word a word: what a damaged file would
// otherwise turn into reads outside the mapping. The tables may hold fewer entries than the
// header counts: the last word's end is where they end.
bool SphinxModel::isSound() const
{
    for (quint32 w = 0; w < words(); ++w)
        if (pairsBegin(w) > pairsBegin(w + 1) || pairsBegin(w + 1) > m_counts[1])
            return false;
    const quint32 pairs = pairsBegin(words());
    for (quint32 e = 0; e < pairs; ++e)
        if (pairFirst(e) >= words() || triplesBegin(e) > triplesBegin(e + 1)
            || triplesBegin(e + 1) > m_counts[2])
            return false;
    for (quint32 e = 0; e < triplesBegin(pairs); ++e)
        if (tripleFirst(e) >= words())
            return false;
    return true;
}

// The words, NUL-terminated and sorted bytewise, each after the one before.
bool SphinxModel::readWords(const uchar *text, const uchar *end)
{
    m_words.reserve(words());
    for (auto word = reinterpret_cast<const char *>(text);
         word < reinterpret_cast<const char *>(end) && m_words.size() < words();) {
        const std::string_view w(
            word, strnlen(word, size_t(reinterpret_cast<const char *>(end) - word)));
        if (!m_words.empty() && w <= m_words.back())
            return false;
        m_words.push_back(w);
        word += w.size() + 1;
    }
    return m_words.size() == words();
}

float SphinxModel::probability(quint32 word) const
{
    return probabilityOf(readAt<float>(m_unigrams, qsizetype(word) * UnigramSize));
}

float SphinxModel::backoff(quint32 word) const
{
    return probabilityOf(readAt<float>(m_unigrams, qsizetype(word) * UnigramSize + 4));
}

quint32 SphinxModel::pairsBegin(quint32 second) const
{
    return readAt<quint32>(m_unigrams, qsizetype(second) * UnigramSize + 8);
}

quint64 SphinxModel::middleAt(quint32 entry) const
{
    return quint64(entry) * (m_wordBits + 32 + m_nextBits);
}

quint32 SphinxModel::pairFirst(quint32 pair) const
{
    return bits(m_middle, middleAt(pair), m_wordBits);
}

float SphinxModel::pairBackoff(quint32 pair) const
{
    return probabilityOf(m_bins[Bins + bits(m_middle, middleAt(pair) + m_wordBits, 16)]);
}

float SphinxModel::pairProbability(quint32 pair) const
{
    return probabilityOf(m_bins[bits(m_middle, middleAt(pair) + m_wordBits + 16, 16)]);
}

quint32 SphinxModel::triplesBegin(quint32 pair) const
{
    return bits(m_middle, middleAt(pair) + m_wordBits + 32, m_nextBits);
}

quint64 SphinxModel::longestAt(quint32 entry) const
{
    return quint64(entry) * (m_wordBits + 16);
}

quint32 SphinxModel::tripleFirst(quint32 triple) const
{
    return bits(m_longest, longestAt(triple), m_wordBits);
}

float SphinxModel::tripleProbability(quint32 triple) const
{
    return probabilityOf(m_bins[2 * Bins + bits(m_longest, longestAt(triple) + m_wordBits, 16)]);
}

qint64 SphinxModel::pair(quint32 first, quint32 second) const
{
    quint32 low = pairsBegin(second), high = pairsBegin(second + 1);
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (pairFirst(mid) < first)
            low = mid + 1;
        else
            high = mid;
    }
    return low < pairsBegin(second + 1) && pairFirst(low) == first ? low : -1;
}

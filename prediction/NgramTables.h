// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>

// A forward index of a trigram model as plain tables of 16- and 32-bit numbers, so that a file
// can hold them exactly as the queries read them.
namespace Ngram {

// Probabilities are kept as codes of 15 bits, the lower the likelier: their logarithm in steps
// of about a tenth of a percent, from e^4 (a back-off may exceed 1) down to e^-36, below any
// word's.
constexpr int CodeBits = 15;
constexpr quint32 Codes = 1U << CodeBits;
constexpr double TopLogarithm = 4;
constexpr double CodeStep = 40.0 / Codes;
// A follower is a word and a code in 32 bits, the word above, so that followers sort by word.
constexpr quint32 MaxWords = 1U << (32 - CodeBits);

inline quint32 encode(double probability)
{
    if (!(probability > 0))
        return Codes - 1;
    return quint32(std::clamp<double>(
        std::round((TopLogarithm - std::log(probability)) / CodeStep), 0, Codes - 1));
}
inline double decode(quint32 code)
{
    // An exp() for each probability looked at took a sixth of a key's time: the code's two bytes
    // pick two powers from small tables instead.
    static const auto powers = [] {
        std::array<double, 512> powers {};
        for (quint32 i = 0; i < 256; ++i) {
            powers[i] = std::exp(-double(i) * CodeStep);
            powers[256 + i] = std::exp(TopLogarithm - double(i << 8) * CodeStep);
        }
        return powers;
    }();
    return powers[256 + (code >> 8 & 255)] * powers[code & 255];
}
inline quint32 follower(quint32 word, double probability)
{
    return word << CodeBits | encode(probability);
}
inline quint32 wordOf(quint32 follower)
{
    return follower >> CodeBits;
}
inline quint32 code(quint32 follower)
{
    return follower & (Codes - 1);
}

// A two-word context: its first word and back-off, as a follower is, and where its followers
// start.
struct Pair
{
    quint32 first;
    quint32 begin;
};

// A span of followers keeps its three likeliest first, likeliest first, then the others sorted
// by word: the likeliest after a context are found without a look at the others (a common word
// has thousands), and a word's follower by a binary search.
constexpr size_t Leading = 3;

// The index. Words are sorted bytewise, so that the words starting with a prefix are one range
// of ids.
struct Tables
{
    // The words, back to back: word w is text[offsets[w], offsets[w + 1]).
    std::string_view text;
    std::span<const quint32> offsets;
    // Codes of the single words' probabilities and back-offs.
    std::span<const quint16> probability;
    std::span<const quint16> backoff;
    // Spans of followers: the single words that decide an offer (up to unigramEnd), then those
    // of each word (firstFollower[word] on), then those of each pair (Pair::begin on).
    std::span<const quint32> followers;
    quint32 unigramEnd = 0;
    std::span<const quint32> firstFollower;
    // The pairs whose second word is second, firstPair[second] on, sorted by first.
    std::span<const Pair> pairs;
    std::span<const quint32> firstPair;
    quint32 sentenceStart = 0;

    quint32 words() const { return offsets.empty() ? 0 : quint32(offsets.size() - 1); }
};

} // namespace Ngram

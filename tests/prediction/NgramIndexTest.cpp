// SPDX-License-Identifier: GPL-3.0-or-later
#include "NgramIndex.h"
#include "Profanity.h"
#include "SphinxModel.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The index the build made from pocketsphinx's model, as the program maps it.
QString englishIndex()
{
    return qEnvironmentVariable("VOCALO_ENGLISH_INDEX");
}

const NgramIndex &english()
{
    static const NgramIndex index = NgramIndex::open(englishIndex());
    return index;
}

// The three likeliest words, each after the other.
QStringList likeliest(const char *first, const char *second, const char *prefix)
{
    QStringList words;
    double last = 1;
    for (const NgramIndex::Scored &scored : english().likeliest(first, second, prefix, 3)) {
        EXPECT_LE(scored.probability, last) << "likeliest first";
        last = scored.probability;
        words.append(scored.word);
    }
    return words;
}

TEST(NgramIndexTest, OffersTheThreeLikeliestWordsAfterTwoWordsOneOrNone)
{
    ASSERT_FALSE(english().isEmpty()) << qPrintable(englishIndex());
    const struct
    {
        const char *first, *second, *prefix, *offered;
    } rows[] = {
        { "", "", "", "i the yeah" },
        { "", "thank", "", "you god goodness" },
        { "would", "like", "", "to a you" },
        { "cup", "of", "t", "tea the them" },
        { "qxzv", "of", "t", "the them that" },
        { "", "", "qxzvq", "" },
    };
    for (const auto &row : rows)
        EXPECT_EQ(
            likeliest(row.first, row.second, row.prefix).join(u' ').toStdString(), row.offered)
            << row.first << ' ' << row.second << ' ' << row.prefix;
    EXPECT_GT(english().probability("", "thank", "you"), english().probability("", "thank", "the"));
}

TEST(NgramIndexTest, NeverOffersSwearingOrInsults)
{
    for (const char *prefix : { "fu", "co", "bi", "sh", "st", "id", "du", "lo", "fr", "as", "qu" })
        for (const char *before : { "", "you", "my" })
            for (const QString &word : likeliest("", before, prefix))
                EXPECT_FALSE(Profanity::isOffensive(word.toUtf8()))
                    << before << ' ' << qPrintable(word);
}

QString copy(
    const QString &from, const QString &to, const std::function<void(QByteArray &)> &change)
{
    QFile source(from);
    EXPECT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    change(bytes);
    QFile copied(to);
    EXPECT_TRUE(copied.open(QIODevice::WriteOnly));
    copied.write(bytes);
    return to;
}

// Damage anywhere, not only where a size check would see it first.
TEST(NgramIndexTest, AMissingCutForeignOrDamagedFileIsRefused)
{
    QTemporaryDir dir;
    const QString model = SphinxModel::debianModel();
    const QString index = englishIndex();
    const struct
    {
        const char *what;
        QString path;
    } rows[] = {
        { "missing", dir.filePath("none") },
        { "cut", copy(index, dir.filePath("cut"), [](QByteArray &b) { b.chop(b.size() / 2); }) },
        { "foreign", model },
        { "damaged in its header",
            copy(index, dir.filePath("header"), [](QByteArray &b) { b[16] = char(b[16] ^ 1); }) },
        { "damaged in a table",
            copy(index, dir.filePath("table"),
                [](QByteArray &b) { b[b.size() / 2] = char(b[b.size() / 2] ^ 0x40); }) },
    };
    for (const auto &row : rows) {
        QString error;
        const NgramIndex refused = NgramIndex::open(row.path, &error);
        EXPECT_TRUE(refused.isEmpty()) << row.what;
        EXPECT_FALSE(error.isEmpty()) << row.what;
        EXPECT_TRUE(refused.likeliest("", "", "", 3).isEmpty()) << row.what;
        EXPECT_EQ(refused.probability("", "thank", "you"), 0) << row.what;
    }

    // The model the index is built from: a full-length copy whose first word's followers point
    // past the end of their table.
    EXPECT_FALSE(SphinxModel(dir.filePath("none")).error().isEmpty());
    EXPECT_TRUE(SphinxModel(model).error().isEmpty());
    const QString damaged = copy(model, dir.filePath("damaged.lm.bin"),
        [](QByteArray &b) { std::memset(b.data() + (4 << 20) - 64, 0xff, 64); });
    EXPECT_FALSE(SphinxModel(damaged).error().isEmpty());
}

// Tables that point past their ends and at words they lack, as a file could whose checksum
// holds: the queries stay inside them (AddressSanitizer's builds tell) and offer nothing wrong.
TEST(NgramIndexTest, TablesThatSayMoreThanTheyHoldAreNeverReadPastTheirEnds)
{
    // On the heap, where a read past its end is seen.
    const std::vector<char> text { 'a', 'b' };
    const std::vector<quint16> codes { 1, 1 };
    const std::vector<quint32> followers { Ngram::follower(7, 0.5), Ngram::follower(1, 0.1) };
    const std::vector<Ngram::Pair> pairs { { Ngram::follower(0, 1), 5 } };
    const struct
    {
        const char *what;
        std::vector<quint32> offsets, firstFollower, firstPair;
    } rows[] = {
        { "a word past the text", { 0, 1, 99 }, { 0, 1, 2 }, { 0, 1, 1 } },
        { "followers and pairs past theirs", { 0, 1, 2 }, { 0, 9, 1 }, { 0, 3, 1 } },
    };
    for (const auto &row : rows) {
        const NgramIndex crafted({ { text.data(), text.size() }, row.offsets, codes, codes,
                                     followers, 1, row.firstFollower, pairs, row.firstPair, 0 },
            {});
        for (const char *second : { "", "a", "b" }) {
            for (const char *prefix : { "", "b", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb" })
                for (const NgramIndex::Scored &scored : crafted.likeliest("a", second, prefix, 3))
                    EXPECT_TRUE(scored.word == "a" || scored.word == "b") << row.what;
            EXPECT_GE(crafted.probability("a", second, "b"), 0) << row.what;
        }
    }
}

} // namespace

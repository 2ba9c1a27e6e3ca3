// SPDX-License-Identifier: GPL-3.0-or-later
#include "NgramIndex.h"
#include "Profanity.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const NgramIndex &english()
{
    static const NgramIndex index
        = NgramIndex::fromSphinxModel(NgramIndex::defaultSphinxModel(), &Profanity::isOffensive);
    return index;
}

TEST(NgramIndexTest, OffersTheLikeliestWordAfterTwoWordsOneOrNone)
{
    ASSERT_FALSE(english().isEmpty()) << "pocketsphinx-en-us is not installed";
    const struct
    {
        const char *first, *second, *prefix, *offered;
    } rows[] = {
        { "", "", "", "i" },
        { "", "thank", "", "you" },
        { "would", "like", "", "to" },
        { "cup", "of", "t", "tea" },
        { "qxzv", "of", "t", "the" },
    };
    for (const auto &row : rows)
        EXPECT_EQ(english().best(row.first, row.second, row.prefix).word, row.offered)
            << row.first << ' ' << row.second << ' ' << row.prefix;
    EXPECT_GT(english().probability("", "thank", "you"), english().probability("", "thank", "the"));
    EXPECT_EQ(english().best("", "", "qxzvq").word, "");
}

TEST(NgramIndexTest, NeverOffersSwearingOrInsults)
{
    for (const char *prefix : { "fu", "co", "bi", "sh", "st", "id", "du", "lo", "fr", "as", "qu" })
        for (const char *before : { "", "you", "my" }) {
            const QString word = english().best("", before, prefix).word;
            EXPECT_FALSE(Profanity::isOffensive(word.toUtf8())) << before << ' ' << prefix;
        }
}

TEST(NgramIndexTest, AMissingOrDamagedModelIsEmpty)
{
    QTemporaryDir dir;
    EXPECT_TRUE(
        NgramIndex::fromSphinxModel(dir.filePath("none"), &Profanity::isOffensive).isEmpty());
    QFile model(NgramIndex::defaultSphinxModel());
    ASSERT_TRUE(model.open(QIODevice::ReadOnly));
    QByteArray bytes = model.read(4 << 20);
    // The table of the first word's followers now points past the end of the file.
    std::memset(bytes.data() + bytes.size() - 64, 0xff, 64);
    QFile cut(dir.filePath("cut.lm.bin"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes);
    cut.close();
    const NgramIndex damaged = NgramIndex::fromSphinxModel(cut.fileName(), &Profanity::isOffensive);
    EXPECT_TRUE(damaged.isEmpty());
    EXPECT_EQ(damaged.best("", "", "").word, "");
    EXPECT_EQ(damaged.probability("", "thank", "you"), 0);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordCompletion.h"
#include "FrequencyModel.h"
#include "Profanity.h"

#include <gtest/gtest.h>

namespace {

struct Row
{
    const char *what;
    QStringList said;
    QString typed;
    QStringList offered;
};

void PrintTo(const Row &row, std::ostream *out)
{
    *out << row.what;
}

class WordCompletionTest : public testing::TestWithParam<Row>
{ };

TEST_P(WordCompletionTest, OffersTheLikeliestWordsInTheirCase)
{
    const Row &row = GetParam();
    WordCompletion completion(std::make_unique<FrequencyModel>());
    for (const QString &line : row.said)
        completion.learn(line);
    const WordOffers offers = completion.offers(row.typed);
    EXPECT_EQ(offers.words.join(u',').toStdString(), row.offered.join(u',').toStdString());
    for (const QString &word : offers.words)
        EXPECT_EQ(word.left(offers.typed).toLower(), row.typed.right(offers.typed).toLower());
}

const QString longLine = QString(WordCompletion::LongestLine, u'x') + QStringLiteral(" tha");

INSTANTIATE_TEST_SUITE_P(Rules, WordCompletionTest,
    testing::Values(Row { "the rest follows a capital", { "Thank you." }, "Tha", { "Thank" } },
        Row { "and capitals throughout", { "Thank you." }, "THA", { "THANK" } },
        Row { "even for the next word", { "Thank you." }, "THANK ", { "YOU" } },
        Row { "in the case typed", { "Thank you." }, "I said tha", { "thank" } },
        Row { "I keeps its capital", { "Yes I can." }, "Yes ", { "I" } },
        Row { "so do its contractions", { "Yes I'm here." }, "Yes ", { "I'm" } },
        Row { "a name keeps its capitals", { "She lives in Manchester." }, "I live in ",
            { "Manchester" } },
        Row { "whatever the letters typed", { "She lives in Manchester." }, "in man",
            { "Manchester" } },
        Row { "until it is written in lower case", { "You are a Freak.", "what a freak show" },
            "a fre", { "freak" } },
        Row { "a letter with a mark is one", { "un cafe\u0301 noir" }, "un ca", { "cafe\u0301" } },
        Row {
            "an apostrophe typed is part of the word", { "I don't know." }, "I don'", { "don't" } },
        Row { "a sentence starts with a capital", { "good morning to you" }, "Hi. ", { "Good" } },
        Row { "the next word follows what followed before", { "a cup of tea" }, "a cup of ",
            { "tea" } },
        Row { "two words of context beat one",
            { "a cup of tea", "a lot of water", "a lot of water" }, "a cup of ",
            { "tea", "water" } },
        Row { "frequent first, then recent",
            { "I want tea.", "I want tea.", "I want toast.", "I want Tim." }, "I want t",
            { "tea", "Tim", "toast" } },
        Row { "each in its case", { "I want tea.", "I want team.", "I want Ted." }, "I want TE",
            { "Ted", "TEAM", "TEA" } },
        Row { "the first word on an empty line", { "thank you." }, "", { "Thank" } },
        Row { "nothing right after punctuation", { "Thank you." }, "Thank,", {} },
        Row { "no next word never seen after this one", {}, "the ", {} },
        Row { "nothing for a word nobody knows", {}, "qx", {} },
        Row { "nothing in a pasted megabyte", { "Thank you." }, longLine, {} }),
    [](const testing::TestParamInfo<Row> &info) {
        QString name = QString::fromUtf8(info.param.what);
        for (QChar &c : name)
            if (!c.isLetterOrNumber())
                c = u'_';
        return name.toStdString();
    });

// Distinct words of letters only: "ba", "ca", ... "zz".
QString fillerWord(int n)
{
    QString word;
    for (n += 27; n > 0; n /= 26)
        word.prepend(QChar(u'a' + n % 26));
    return word;
}

TEST(WordCompletionTest, ForgetsWhatFadedLongAgoAndKeepsWhatIsSaidOften)
{
    WordCompletion completion(std::make_unique<FrequencyModel>());
    completion.learn("my zebra stripes");
    for (int n = 0; n < 2000; ++n) {
        completion.learn("we say " + fillerWord(2 * n) + ' ' + fillerWord(2 * n + 1));
        if (n % 100 == 0)
            completion.learn("my yak is hairy");
    }
    EXPECT_EQ(completion.offers("a zeb").words, QStringList());
    EXPECT_EQ(completion.offers("my zebra ").words, QStringList());
    EXPECT_EQ(completion.offers("a ya").words.value(0), "yak");
    EXPECT_EQ(completion.offers("my yak is ").words.value(0), "hairy");
    EXPECT_EQ(
        completion.offers("we say " + fillerWord(3998) + ' ').words.value(0), fillerWord(3999));
}

TEST(ProfanityTest, BlocksOffensiveWordsInTheirFormsButNotTheOrdinaryWordsTheyBegin)
{
    for (const char *word : { "fuck", "fucking", "bitches", "shitty", "shithole", "nigger",
             "retarded", "fags", "faggot", "whores", "goddamn", "motherfucker", "idiots" })
        EXPECT_TRUE(Profanity::isOffensive(word)) << word;
    for (const char *word : { "niggardly", "retardant", "retardation", "fagin", "wankel", "cockpit",
             "assistant", "dumbbell", "fucky" })
        EXPECT_FALSE(Profanity::isOffensive(word)) << word;
}

} // namespace

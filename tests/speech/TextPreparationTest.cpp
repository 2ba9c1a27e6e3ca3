// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextPreparation.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

QStringList sentencesOf(const QString &text)
{
    textprep::SentenceSplitter splitter(textprep::clean(text));
    QStringList out;
    QString sentence;
    while (splitter.next(sentence))
        out << sentence;
    return out;
}

struct CleanRow
{
    const char *name;
    QString input;
    QString expected;
};

class CleanTest : public testing::TestWithParam<CleanRow>
{ };

TEST_P(CleanTest, ReplacesWhatMustNotReachTheSynthesiser)
{
    EXPECT_EQ(textprep::clean(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, CleanTest,
    testing::Values(CleanRow { "plain", "Hello, world.", "Hello, world." },
        CleanRow { "markup_stays_literal", "<pitch absmiddle=\"10\"> \\Pit=200\\",
            "<pitch absmiddle=\"10\"> \\Pit=200\\" },
        CleanRow { "c0_controls",
            QString::fromUtf8("a\x01"
                              "b\x1b[31mc\td\ne\rf\x7f"
                              "g"),
            "a b [31mc d e f g" },
        CleanRow { "c1_control", QStringView(u"a\u0085b\u009bc").toString(), "a b c" },
        CleanRow { "invalid_utf8",
            QString::fromUtf8("a\xff\xfe"
                              "b\xc3"),
            "a  b " },
        CleanRow {
            "lone_surrogates", QString("x") + QChar(0xd800) + QChar(u'y') + QChar(0xdc00), "x y " },
        CleanRow { "paired_surrogates_kept", QString::fromUtf8("smile \xf0\x9f\x98\x80!"),
            QString::fromUtf8("smile \xf0\x9f\x98\x80!") },
        CleanRow { "non_characters", QStringView(u"a\uffffb\ufdd0c").toString(), "a b c" },
        CleanRow {
            "accents_kept", QString::fromUtf8("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9") },
        CleanRow { "line_separator", QStringView(u"a\u2028b").toString(), "a b" }),
    [](const testing::TestParamInfo<CleanRow> &info) { return std::string(info.param.name); });

struct SplitRow
{
    const char *name;
    QString input;
    QStringList expected;
};

class SplitTest : public testing::TestWithParam<SplitRow>
{ };

TEST_P(SplitTest, SplitsIntoSentences)
{
    EXPECT_EQ(sentencesOf(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitTest,
    testing::Values(SplitRow { "empty", "", {} },
        SplitRow { "only_spaces_and_controls", " \t\n\x01 ", {} },
        SplitRow { "one", "Hello there.", { "Hello there." } },
        SplitRow {
            "three_with_extra_spaces", "  One.  Two!\n\nThree? ", { "One.", "Two!", "Three?" } },
        SplitRow { "period_inside_token", "Version 2.2 is here.", { "Version 2.2 is here." } },
        SplitRow { "no_final_stop", "first. second", { "first.", "second" } },
        SplitRow { "a_quote_closes_its_sentence_and_e_g_is_inside_one",
            "He said \"Stop!\" Then e.g. this.", { "He said \"Stop!\"", "Then e.g. this." } },
        SplitRow { "long_token_cut", QString(250, u'x'),
            { QString(100, u'x') + u' ' + QString(100, u'x') + u' ' + QString(50, u'x') } }),
    [](const testing::TestParamInfo<SplitRow> &info) { return std::string(info.param.name); });

QString withoutSpaces(QString s)
{
    return s.remove(u' ');
}

// Long inputs: every sentence within bounds, every token within bounds, nothing lost or reordered.
struct BoundsRow
{
    const char *name;
    QString input;
};

class SplitBoundsTest : public testing::TestWithParam<BoundsRow>
{ };

TEST_P(SplitBoundsTest, KeepsEveryCharacterWithinBounds)
{
    const QStringList sentences = sentencesOf(GetParam().input);
    ASSERT_FALSE(sentences.isEmpty());
    for (const QString &sentence : sentences) {
        EXPECT_LE(sentence.size(), textprep::MaxSentenceLength);
        for (const QString &token : sentence.split(u' '))
            EXPECT_LE(token.size(), textprep::MaxTokenLength) << token.toStdString();
    }
    EXPECT_EQ(
        withoutSpaces(sentences.join(QString())), withoutSpaces(textprep::clean(GetParam().input)));
}

QString words(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("word%1").arg(i);
    return list.join(u' ');
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitBoundsTest,
    testing::Values(BoundsRow { "many_words_no_stop", words(2000) },
        BoundsRow { "huge_token", QString(100000, u'a') },
        BoundsRow { "words_and_huge_tokens",
            words(50) + u' ' + QString(1234, u'b') + u' ' + words(70) + u' ' + QString(99, u'c')
                + u' ' + QString(101, u'd') },
        BoundsRow { "emoji_run", QString::fromUtf8("\xf0\x9f\x98\x80").repeated(400) }),
    [](const testing::TestParamInfo<BoundsRow> &info) { return std::string(info.param.name); });

TEST(SplitBoundsTest, NeverSplitsASurrogatePair)
{
    for (const QString &sentence : sentencesOf(QString::fromUtf8("\xf0\x9f\x98\x80").repeated(400)))
        for (const QString &token : sentence.split(u' '))
            EXPECT_EQ(token.toUtf8().size() % 4, 0);
}

} // namespace

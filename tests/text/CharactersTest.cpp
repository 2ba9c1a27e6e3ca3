// SPDX-License-Identifier: GPL-3.0-or-later
#include "Characters.h"

#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

namespace {

// Each text as read: its words in [ ], a | where each sentence but the first starts; then why
// QTextBoundaryFinder, Unicode's reading, differs where it does.
const std::pair<const char16_t *, const char *> Rows[] = {
    { u"[It] [costs] [3].[5] [euros]. |[Then]", "a dot parts words, between digits too" },
    { u"[Use] [a] [pen], [e].[g]. [the] [blue] [one].", nullptr },
    { u"[It] [is] [5] [p].[m]. |[Come] [to] [the] [U].[S].", nullptr },
    { u"[Mr]. [Smith] [is] [here].", "a title always has a name after it" },
    { u"[ok]. |[see] [you]", "a word typed next must not change where the text before it ends" },
    { u"[He] [said] \"[Don't]!\" |[Then] ([twice].) |[Go]... |[And]?! |[So]", nullptr },
    { u"[Hi]\U0001F600 [there] [\U0001D400\U0001D401].", nullptr },
};

QString marks(bool sentenceStarts, bool wordEnds, bool wordStarts)
{
    return QString(sentenceStarts ? "|" : "") + (wordEnds ? "]" : "") + (wordStarts ? "[" : "");
}

TEST(CharactersTest, ReadsWordsAndSentenceEndsAsTheTableSays)
{
    for (const auto &[read, whyQtDiffers] : Rows) {
        const QString text = QString::fromUtf16(read).remove(u'[').remove(u']').remove(u'|');
        QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
        QTextBoundaryFinder sentences(QTextBoundaryFinder::Sentence, text);
        QString byCharacters, byQt;
        bool ended = false; // and only closing marks or spaces since
        for (qsizetype at = 0; at <= text.size(); ++at) {
            const bool starts
                = ended && at < text.size() && !text.at(at).isSpace() && text.at(at - 1).isSpace();
            ended = (ended && !starts) || Characters::endsSentence(text, at);
            const bool in = Characters::isInWord(text, at);
            const bool after = Characters::isInWord(text, at - 1);
            byCharacters += marks(starts, after && !in, in && !after) + text.mid(at, 1);
            words.setPosition(at);
            sentences.setPosition(at);
            byQt += marks(sentences.isAtBoundary() && at > 0 && at < text.size(),
                        words.boundaryReasons() & QTextBoundaryFinder::EndOfItem,
                        words.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
                + text.mid(at, 1);
        }
        EXPECT_EQ(byCharacters.toStdString(), QString::fromUtf16(read).toStdString());
        EXPECT_EQ(byQt == QString::fromUtf16(read), whyQtDiffers == nullptr) << byQt.toStdString();
    }
}

} // namespace

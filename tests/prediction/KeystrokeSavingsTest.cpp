// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark's typist over its conversation, as a guard: a change to the model or the rules
// that costs the user keystrokes fails here, not only in a table nobody reads.
#include "FrequencyModel.h"
#include "SimulatedTypist.h"
#include "WordCompletion.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(KeystrokeSavingsTest, AConversationTakesTwoFifthsFewerKeysAndMoreWithThreeOffers)
{
    QFile file(QStringLiteral(VOCALO_SOURCE_DIR "/bench/prediction/conversation.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 220);

    auto type = [&](int taken) {
        WordCompletion completion(std::make_unique<FrequencyModel>(
            NgramIndex::open(qEnvironmentVariable("VOCALO_ENGLISH_INDEX"))));
        for (const QString &line : lines.mid(0, 20))
            completion.learn(line);
        return typeLines(completion, lines.mid(20), taken);
    };
    const TypingResult one = type(1);
    EXPECT_GE(one.savings(), 0.42);
    EXPECT_EQ(one.characters, lines.mid(20).join(QString()).size());
    EXPECT_GE(type(3).savings(), one.savings() + 0.05);
}

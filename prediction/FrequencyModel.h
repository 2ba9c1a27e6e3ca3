// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NgramIndex.h"
#include "WordModel.h"

#include <QHash>

#include <map>
#include <memory>

// Word prediction from a model of English (which words follow one and two words) and what this
// run has said: the words of the lines said (recent and frequent first) and which words followed
// one word and two words. Everything stays in memory, and what has long faded is forgotten.
class FrequencyModel : public WordModel
{
public:
    explicit FrequencyModel(NgramIndex general = {});

    // Replaces the model of English: a program reads it off its user-interface thread and hands
    // it over when it is ready.
    void setGeneral(std::shared_ptr<const NgramIndex> general) { m_general = std::move(general); }

    void learn(const QString &line) override;
    QStringList likeliestWords(
        const QString &before, const QString &prefix, int count) const override;

private:
    // Words by weight, sorted so that the words starting with a prefix are one range.
    struct Weights
    {
        std::map<QString, double> words;
        double total = 0;
        double share(const QString &word) const;
    };

    void add(Weights &weights, const QString &word);
    const Weights *followersOf(const QString &context) const;
    void forgetFaded();
    void rescaleIfLarge();

    std::shared_ptr<const NgramIndex> m_general;
    Weights m_said;
    // Keyed by the word before, and by the two words before joined by a space.
    QHash<QString, Weights> m_followers;
    // Recency as growth: each new line counts a little more than the one before, so old words
    // fade without touching every weight on every line.
    double m_lineWeight = 1;
    int m_linesSinceForgetting = 0;
};

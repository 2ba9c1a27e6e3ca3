// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompletionSource.h"

#include "WordFrequencies.h"

#include <future>
#include <memory>

class FrequencyModel;
class WordCompletion;

// The strip's completions: the lines said in this run and the board's phrases over English word
// counts, which are read on a thread of their own so that start-up does not wait for them.
class WordSuggestions : public CompletionSource
{
public:
    WordSuggestions();
    ~WordSuggestions() override;

    void learn(const QString &line);
    Completion completionFor(const QString &line) const override;

private:
    void takeGeneralWhenRead() const;

    std::unique_ptr<WordCompletion> m_completion;
    // The model m_completion owns, to hand it the general list once read.
    FrequencyModel *m_model = nullptr;
    mutable std::future<WordFrequencies> m_general;
};

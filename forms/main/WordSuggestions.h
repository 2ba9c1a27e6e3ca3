// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompletionSource.h"

#include "NgramIndex.h"

#include <QFuture>

#include <functional>
#include <memory>

class FrequencyModel;
class WordCompletion;

// The strip's completions: the lines said in this run (typed or from the board) over a model of
// English, which is read on a thread of their own so that start-up does not wait for it.
class WordSuggestions : public CompletionSource
{
public:
    WordSuggestions();
    ~WordSuggestions() override;

    void learn(const QString &line);
    Completion completionFor(const QString &line) const override;
    // Calls then on context's thread once the model of English is read, unless context is gone
    // by then: what is offered may change.
    void whenEnglishRead(QObject *context, std::function<void()> then) const;

private:
    void takeGeneralWhenRead() const;

    std::unique_ptr<WordCompletion> m_completion;
    // The model m_completion owns, to hand it the model of English once read.
    FrequencyModel *m_model = nullptr;
    mutable QFuture<std::shared_ptr<const NgramIndex>> m_general;
};

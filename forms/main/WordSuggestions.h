// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompletionSource.h"

#include "NgramIndex.h"

#include <QFutureWatcher>

#include <memory>

class FrequencyModel;
class WordCompletion;

// The strip's completions: the lines said in this run (typed or from the board) over a model of
// English, which is read on a thread of their own so that start-up does not wait for it; what
// is offered changes once it is.
class WordSuggestions : public CompletionSource
{
    Q_OBJECT
public:
    explicit WordSuggestions(QObject *parent = nullptr);
    ~WordSuggestions() override;

    void learn(const QString &line);
    WordOffers offersFor(const QString &line) const override;

private:
    std::unique_ptr<WordCompletion> m_completion;
    // The model m_completion owns, to hand it the model of English once read.
    FrequencyModel *m_model = nullptr;
    QFutureWatcher<std::shared_ptr<const NgramIndex>> m_english;
};

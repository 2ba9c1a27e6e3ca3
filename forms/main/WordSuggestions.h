// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompletionSource.h"

#include "NgramIndex.h"

#include <QFutureWatcher>

#include <memory>

class FrequencyModel;
class WordCompletion;

// The strip's completions: the lines said in this run (typed or from the board) over a model of
// English, an index file mapped on a thread of its own so that start-up never waits on the disk;
// what is offered changes once it is.
class WordSuggestions : public CompletionSource
{
    Q_OBJECT
public:
    explicit WordSuggestions(QObject *parent = nullptr);
    ~WordSuggestions() override;

    // Where the program finds its index of English: beside it in the build folder, in
    // share/vocalo/ once installed; VOCALO_ENGLISH_INDEX names another.
    static QString englishIndex();

    void learn(const QString &line);
    WordOffers offersFor(const QString &line) const override;

private:
    std::unique_ptr<WordCompletion> m_completion;
    // The model m_completion owns, to hand it the model of English once mapped.
    FrequencyModel *m_model = nullptr;
    QFutureWatcher<std::shared_ptr<const NgramIndex>> m_english;
};

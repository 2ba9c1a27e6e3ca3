// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordSuggestions.h"

#include "FrequencyModel.h"
#include "Profanity.h"
#include "WordCompletion.h"

#include <QtConcurrent>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Read once a process: every strip shares it, and none waits at its end for a read to finish.
QFuture<std::shared_ptr<const NgramIndex>> english()
{
    static const QFuture<std::shared_ptr<const NgramIndex>> read = QtConcurrent::run([] {
        auto index = std::make_shared<const NgramIndex>(
            NgramIndex::fromSphinxModel(NgramIndex::defaultSphinxModel(), &Profanity::isOffensive));
        // The model is read through tens of megabytes of scratch tables; the strip keeps
        // only the index, and what it freed goes back to the system.
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
        return index;
    });
    return read;
}

} // namespace

WordSuggestions::WordSuggestions(QObject *parent) : CompletionSource(parent)
{
    auto model = std::make_unique<FrequencyModel>();
    m_model = model.get();
    m_completion = std::make_unique<WordCompletion>(std::move(model));
    // A watcher of its own: a future has room for only one continuation, and the model is shared.
    connect(&m_english, &QFutureWatcherBase::finished, this, [this] {
        m_model->setGeneral(m_english.result());
        emit offersChanged();
    });
    m_english.setFuture(english());
}

WordSuggestions::~WordSuggestions() = default;

void WordSuggestions::learn(const QString &line)
{
    m_completion->learn(line);
}

WordOffers WordSuggestions::offersFor(const QString &line) const
{
    const WordCompletion::Suggestion suggestion = m_completion->suggestion(line);
    if (suggestion.word.isEmpty())
        return {};
    return { suggestion.typed, { suggestion.word } };
}

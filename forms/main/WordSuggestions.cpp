// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordSuggestions.h"

#include "FrequencyModel.h"
#include "Profanity.h"
#include "WordCompletion.h"

#include <QFutureWatcher>
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

WordSuggestions::WordSuggestions() : m_general(english())
{
    auto model = std::make_unique<FrequencyModel>();
    m_model = model.get();
    m_completion = std::make_unique<WordCompletion>(std::move(model));
}

WordSuggestions::~WordSuggestions() = default;

void WordSuggestions::learn(const QString &line)
{
    m_completion->learn(line);
}

void WordSuggestions::takeGeneralWhenRead() const
{
    if (m_general.isValid() && m_general.isFinished()) {
        m_model->setGeneral(m_general.result());
        m_general = {};
    }
}

void WordSuggestions::whenEnglishRead(QObject *context, std::function<void()> then) const
{
    // A watcher of its own: a future has room for only one continuation, and the model is shared.
    auto *watcher = new QFutureWatcher<std::shared_ptr<const NgramIndex>>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, then] {
        watcher->deleteLater();
        then();
    });
    watcher->setFuture(english());
}

CompletionSource::Completion WordSuggestions::completionFor(const QString &line) const
{
    takeGeneralWhenRead();
    const WordCompletion::Suggestion suggestion = m_completion->suggestion(line);
    return { suggestion.typed, suggestion.word };
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordSuggestions.h"

#include "FrequencyModel.h"
#include "WordCompletion.h"

#include <QCoreApplication>
#include <QDir>
#include <QtConcurrent>

#include <cstdio>

namespace {

// Mapped once a process: every strip shares it, and none waits at its end for it.
QFuture<std::shared_ptr<const NgramIndex>> english()
{
    static const QFuture<std::shared_ptr<const NgramIndex>> mapped = QtConcurrent::run([] {
        const QString path = WordSuggestions::englishIndex();
        QString error;
        auto index = std::make_shared<const NgramIndex>(NgramIndex::open(path, &error));
        if (!error.isEmpty())
            std::fprintf(stderr,
                "vocalo: word completion works without the model of English: %s: %s\n",
                qPrintable(QDir::toNativeSeparators(path)), qPrintable(error));
        return index;
    });
    return mapped;
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

QString WordSuggestions::englishIndex()
{
    const QString named = qEnvironmentVariable("VOCALO_ENGLISH_INDEX");
    if (!named.isEmpty())
        return named;
    const QDir program(QCoreApplication::applicationDirPath());
    const QString built = program.filePath(QStringLiteral(VOCALO_ENGLISH_INDEX_NAME));
    if (QFileInfo::exists(built))
        return built;
    return QDir::cleanPath(
        program.filePath(QStringLiteral(VOCALO_DATA_FROM_PROGRAM "/" VOCALO_ENGLISH_INDEX_NAME)));
}

void WordSuggestions::learn(const QString &line)
{
    m_completion->learn(line);
}

WordOffers WordSuggestions::offersFor(const QString &line) const
{
    return m_completion->offers(line);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordSuggestions.h"

#include "FrequencyModel.h"
#include "WordCompletion.h"

#include <chrono>

WordSuggestions::WordSuggestions()
    : m_general(std::async(std::launch::async, [] {
        return WordFrequencies::fromPresageDatabase(WordFrequencies::defaultPresageDatabase());
    }))
{
    auto model = std::make_unique<FrequencyModel>(WordFrequencies());
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
    if (m_general.valid()
        && m_general.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        m_model->setGeneral(m_general.get());
}

CompletionSource::Completion WordSuggestions::completionFor(const QString &line) const
{
    takeGeneralWhenRead();
    const WordCompletion::Suggestion suggestion = m_completion->suggestion(line);
    return { suggestion.typed, suggestion.word };
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "PresageModel.h"

#include <presage.h>

#include <string>

namespace {

class Context : public PresageCallback
{
public:
    std::string get_past_stream() const override { return past; }
    std::string get_future_stream() const override { return {}; }
    std::string past;
};

} // namespace

struct PresageModel::Engine
{
    explicit Engine(const QString &configurationFile)
        : presage(&context, configurationFile.toStdString())
    { }
    Context context;
    Presage presage;
};

PresageModel::PresageModel(const QString &configurationFile)
    : m_engine(std::make_unique<Engine>(configurationFile))
{ }

PresageModel::~PresageModel() = default;

void PresageModel::learn(const QString &line)
{
    m_engine->presage.learn(line.toLower().toStdString() + " ");
}

QStringList PresageModel::likeliestWords(
    const QString &before, const QString &prefix, int count) const
{
    m_engine->context.past = (before + prefix).toLower().toStdString();
    const std::string lowerPrefix = prefix.toLower().toStdString();
    QStringList words;
    for (const std::string &word : m_engine->presage.predict()) {
        const QString offered = QString::fromStdString(word);
        if (word.size() > lowerPrefix.size() && word.starts_with(lowerPrefix)
            && !words.contains(offered) && words.size() < count)
            words.append(offered);
    }
    return words;
}

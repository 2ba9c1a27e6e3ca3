// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordModel.h"

#include <memory>

// Word prediction by presage: its smoothed n-gram predictor over the English data of
// libpresage-data (read-only), a second one that learns the lines of this run into an in-memory
// database, and its recency predictor. The configuration file names only those predictors, so
// the default one's ~/.presage database is never created.
class PresageModel : public WordModel
{
public:
    explicit PresageModel(const QString &configurationFile);
    ~PresageModel() override;

    void learn(const QString &line) override;
    QStringList likeliestWords(
        const QString &before, const QString &prefix, int count) const override;

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

// Times in milliseconds gathered over several tries, and how they go into the table and the JSON.
struct Latencies
{
    std::vector<double> ms;
    int missed = 0; // given, nothing came back within the time allowed

    double median() const
    {
        if (ms.empty())
            return NAN;
        const std::vector<double> sorted = this->sorted();
        const std::size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    // Nearest rank: the smallest value that at least 95 % of the runs reach.
    double p95() const
    {
        if (ms.empty())
            return NAN;
        const std::vector<double> sorted = this->sorted();
        const auto rank = static_cast<std::size_t>(std::ceil(0.95 * double(sorted.size())));
        return sorted[std::max<std::size_t>(rank, 1) - 1];
    }
    double max() const { return ms.empty() ? NAN : *std::max_element(ms.begin(), ms.end()); }
    double min() const { return ms.empty() ? NAN : *std::min_element(ms.begin(), ms.end()); }

private:
    std::vector<double> sorted() const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }
};

inline std::string number(double value, int decimals = 1)
{
    if (std::isnan(value))
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// JSON has no NaN: a figure that could not be taken is null there.
inline QJsonValue jsonNumber(double value, int decimals = 2)
{
    if (std::isnan(value))
        return QJsonValue();
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

inline QJsonObject jsonLatencies(const Latencies &l)
{
    QJsonArray samples;
    for (const double ms : l.ms)
        samples.append(jsonNumber(ms));
    return { { "median_ms", jsonNumber(l.median()) }, { "p95_ms", jsonNumber(l.p95()) },
        { "max_ms", jsonNumber(l.max()) }, { "n", static_cast<qint64>(l.ms.size()) },
        { "missed", l.missed }, { "samples_ms", samples } };
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
inline std::string jsonNumber(double value, int decimals = 2)
{
    return std::isnan(value) ? "null" : number(value, decimals);
}

inline std::string jsonArray(const std::vector<double> &values)
{
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i ? ", " : "") + number(values[i], 2);
    return text + "]";
}

inline std::string jsonLatencies(const Latencies &l)
{
    return "{\"median_ms\": " + jsonNumber(l.median()) + ", \"p95_ms\": " + jsonNumber(l.p95())
        + ", \"max_ms\": " + jsonNumber(l.max()) + ", \"n\": " + std::to_string(l.ms.size())
        + ", \"missed\": " + std::to_string(l.missed) + ", \"samples_ms\": " + jsonArray(l.ms)
        + "}";
}

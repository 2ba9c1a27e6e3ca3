// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <deque>
#include <optional>

// The lines spoken from the strip in this run, stepped through as a shell steps through its
// history. Kept in memory only: what people say is not written anywhere.
class LineRecall
{
public:
    static constexpr std::size_t Capacity = 1000;
    // Pasted articles are lines too: a thousand of them would hold gigabytes. Past this many
    // characters in all, the oldest lines are forgotten, the newest always kept.
    static constexpr qsizetype MaxCharacters = 4 * 1024 * 1024;

    // A spoken line; blank lines and a repeat of the newest are not kept. Ends any stepping.
    void remember(const QString &line);
    // The line before the one shown, or nothing at the oldest. `shown` is what the box holds,
    // kept as the draft when stepping begins.
    std::optional<QString> back(const QString &shown);
    // The line after the one shown; past the newest, the draft. Nothing when not stepping.
    std::optional<QString> forward();

private:
    std::deque<QString> m_lines;
    qsizetype m_characters = 0;
    // Index of the line shown; m_lines.size() while the box holds the draft.
    std::size_t m_position = 0;
    QString m_draft;
};

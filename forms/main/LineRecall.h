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

    // A spoken line; blank lines and a repeat of the newest are not kept. Ends any stepping.
    void remember(const QString &line);
    // The line before the one shown, or nothing at the oldest. `shown` is what the box holds,
    // kept as the draft when stepping begins.
    std::optional<QString> back(const QString &shown);
    // The line after the one shown; past the newest, the draft. Nothing when not stepping.
    std::optional<QString> forward();

private:
    std::deque<QString> m_lines;
    // Index of the line shown; m_lines.size() while the box holds the draft.
    std::size_t m_position = 0;
    QString m_draft;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineRecall.h"

void LineRecall::remember(const QString &line)
{
    // A blank line says nothing, so there is nothing to say again.
    if (!line.trimmed().isEmpty() && (m_lines.empty() || m_lines.back() != line)) {
        m_lines.push_back(line);
        m_characters += line.size();
        while (m_lines.size() > Capacity || (m_characters > MaxCharacters && m_lines.size() > 1)) {
            m_characters -= m_lines.front().size();
            m_lines.pop_front();
        }
    }
    m_position = m_lines.size();
    m_draft.clear();
}

std::optional<QString> LineRecall::back(const QString &shown)
{
    if (m_position == 0)
        return std::nullopt;
    if (m_position == m_lines.size())
        m_draft = shown;
    return m_lines[--m_position];
}

std::optional<QString> LineRecall::forward()
{
    if (m_position == m_lines.size())
        return std::nullopt;
    ++m_position;
    return m_position == m_lines.size() ? m_draft : m_lines[m_position];
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "StderrCapture.h"

#include <unistd.h>

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    m_file = std::tmpfile();
    if (!m_file)
        return;
    m_saved = dup(STDERR_FILENO);
    dup2(fileno(m_file), STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    restore();
    if (m_file)
        std::fclose(m_file);
}

void StderrCapture::restore()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    dup2(m_saved, STDERR_FILENO);
    close(m_saved);
    m_saved = -1;
}

std::string StderrCapture::take()
{
    restore();
    std::string text;
    if (!m_file)
        return text;
    std::rewind(m_file);
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, m_file)) > 0;)
        text.append(buffer, read);
    return text;
}

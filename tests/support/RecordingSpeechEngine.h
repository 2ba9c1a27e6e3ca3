// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SpeechEngine.h"

#include <QStringList>

#include <memory>
#include <vector>

// Stands in for a window's speech control where a test only asks what the window handed it.
// Tests that listen to speech use the real engine.
class RecordingSpeechEngine : public SpeechEngine
{
public:
    struct Log
    {
        QStringList spoken;
        std::vector<int> speeds;
        std::vector<int> pitches;
        int speed = -1;
        int pitch = -1;
        int stops = 0;
    };

    explicit RecordingSpeechEngine(std::shared_ptr<Log> log = std::make_shared<Log>())
        : m_log(std::move(log))
    { }

    void Speak(const QString &text) override { m_log->spoken << text; }
    void SetSpeed(int wordsPerMinute) override
    {
        m_log->speeds.push_back(wordsPerMinute);
        m_log->speed = wordsPerMinute;
    }
    void SetPitch(int hertz) override
    {
        m_log->pitches.push_back(hertz);
        m_log->pitch = hertz;
    }

    void Stop() override { ++m_log->stops; }

    const std::shared_ptr<Log> &log() const { return m_log; }

private:
    std::shared_ptr<Log> m_log;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CollectingAudioOutput.h"
#include "FliteSpeechEngine.h"

#include <QString>

#include <chrono>
#include <memory>
#include <vector>

// What one fresh engine plays for `text` at the given settings, heard through a collecting output.
inline std::vector<int16_t> listenTo(const QString &text, int speed, int pitch)
{
    auto collected = std::make_shared<Collected>();
    {
        FliteSpeechEngine engine(collectInto(collected));
        engine.SetSpeed(speed);
        engine.SetPitch(pitch);
        engine.Speak(text);
        collected->waitUntilQuiet(std::chrono::milliseconds(300), std::chrono::seconds(60));
    }
    return collected->snapshot();
}

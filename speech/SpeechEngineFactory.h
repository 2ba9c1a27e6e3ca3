// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioOutput.h"
#include "SpeechEngine.h"

#include <QString>

#include <memory>

// A window's speech control: Flite, playing through a stream of its own on the desktop's sound
// server, shown in the mixer as `streamName`; heard in calls too where `inCalls` says so.
std::unique_ptr<SpeechEngine> createSpeechEngine(
    const QString &streamName, InCalls inCalls = InCalls::NotHeard);
// The same engine playing into the given output instead (tests listen through this).
std::unique_ptr<SpeechEngine> createSpeechEngine(const AudioOutputFactory &outputFactory);

// The engine and voice in use, for the About box, e.g. "Flite 2.2, voice cmu_us_kal16".
QString speechEngineDescription();

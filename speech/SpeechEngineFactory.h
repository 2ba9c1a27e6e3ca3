// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioOutput.h"
#include "SpeechEngine.h"

#include <QString>

#include <memory>

// A window's speech control: Flite, playing on the desktop's default audio output.
std::unique_ptr<SpeechEngine> createSpeechEngine();
// The same engine playing into the given outputs instead (tests listen through this).
std::unique_ptr<SpeechEngine> createSpeechEngine(AudioOutputFactory outputFactory);

// The engine and voice in use, for the About box, e.g. "Flite 2.2, voice cmu_us_kal16".
QString speechEngineDescription();

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// The one Flite voice of the process. Flite keeps process-wide state (its voice list, its error
// jump) and is not documented as thread-safe, so every call into it goes through here, behind one
// lock, one sentence at a time.
namespace flitevoice {

constexpr int SampleRate = 16000;
// The voice's own, as measured: its rate at a duration stretch of 1 over read prose, spoken the
// way the engine speaks it (sentence by sentence), and the mean pitch it speaks at unasked.
constexpr double OwnWordsPerMinute = 205.0;
constexpr int OwnPitchHz = 95;

// The duration stretch at which the voice speaks `wordsPerMinute`.
constexpr double stretchFor(double wordsPerMinute)
{
    return OwnWordsPerMinute / wordsPerMinute;
}

struct Prosody
{
    double meanPitchHz = OwnPitchHz;
    double durationStretch = 1.0;
};

enum class Outcome { Finished, Stopped, Failed };

// Receives samples while Flite streams them out. Runs with the Flite lock held: it must hand the
// samples on and return, never wait. Returning false ends the sentence early.
class SampleReceiver
{
public:
    virtual bool receive(const int16_t *samples, std::size_t count) = 0;

protected:
    ~SampleReceiver() = default;
};

// Synthesises one sentence (UTF-8) with its own prosody; the voice's own settings never change.
Outcome synthesize(const QByteArray &sentence, Prosody prosody, SampleReceiver &receiver);

// "Flite 2.2, voice cmu_us_kal16", from the library's version and the loaded voice. Never waits
// for a sentence being synthesised.
QString description();

} // namespace flitevoice

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioOutput.h"
#include "FliteVoice.h"
#include "SpeechEngine.h"

#include <atomic>
#include <memory>

// The speech control of one talking window, speaking through Flite. Speak queues the text with
// the speed and pitch of that moment and returns; a worker thread synthesises it sentence by
// sentence into a sample queue, which the output plays at its own pace, so nothing here ever
// waits on a device.
class FliteSpeechEngine final : public SpeechEngine
{
public:
    // What the voice can do; the scroll bars stay inside. Beyond these speeds speech is a drone
    // or a chirp, and 50 and 500 Hz are where the voice itself pins its pitch.
    static constexpr int MinSpeed = 25;
    static constexpr int MaxSpeed = 500;
    static constexpr int MinPitch = 50;
    static constexpr int MaxPitch = 500;
    // Until the first SetSpeed/SetPitch, and for a window that never sets them (the splash's
    // greeting): a little slower than the voice's own rate, at the voice's own pitch.
    static constexpr int DefaultSpeed = 180;
    static constexpr int DefaultPitch = flitevoice::OwnPitchHz;

    // Throws std::runtime_error when the system cannot give the instance its threads.
    explicit FliteSpeechEngine(const AudioOutputFactory &outputFactory);
    ~FliteSpeechEngine() override;
    FliteSpeechEngine(const FliteSpeechEngine &) = delete;
    FliteSpeechEngine &operator=(const FliteSpeechEngine &) = delete;

    void Speak(const QString &text) override;
    void SpeakToDeskOnly(const QString &text) override;
    void SetSpeed(int wordsPerMinute) override;
    void SetPitch(int hertz) override;
    void Stop() override;
    bool Speaking() const override;
    bool Heard() const override;
    void setHeardListener(std::function<void()> changed) override;

private:
    void speak(const QString &text, bool intoCalls);

    class Impl;
    std::unique_ptr<Impl> m_impl;
    // Written up to 4000 times a second by the main window's timer, almost always unchanged:
    // kept here, away from the queue's lock, and written only when the value differs.
    std::atomic<int> m_speed { DefaultSpeed };
    std::atomic<int> m_pitch { DefaultPitch };
};

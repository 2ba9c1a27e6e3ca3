// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The speech control each talking window owns as DS. Speak returns at once; speed and pitch
// apply to speech that starts afterwards. Windows call these on the user-interface thread.
class SpeechEngine
{
public:
    // The voice the program starts with, before anyone moves the strip's scroll bars.
    static constexpr int StartingSpeed = 150;
    static constexpr int StartingPitch = 85;

    virtual ~SpeechEngine() = default;

    virtual void Speak(const QString &text) = 0;
    // As Speak, but never heard in a call: for what the program says to the person at the desk
    // of its own accord, not what the user chose to say. Engines without calls just speak.
    virtual void SpeakToDeskOnly(const QString &text) { Speak(text); }
    // Words per minute; the speed scroll bar gives 50..250.
    virtual void SetSpeed(int wordsPerMinute) = 0;
    // Mean fundamental frequency in Hz; the pitch scroll bar gives 50..400.
    virtual void SetPitch(int hertz) = 0;
    // Silences this instance at once: drops its queued texts and what is playing. Other
    // instances play on; the next Speak is heard as usual.
    virtual void Stop() = 0;
    // Whether something this instance was given is still to be heard: queued, being synthesised
    // or playing.
    virtual bool Speaking() const { return false; }
    // Whether this instance's texts can be heard now: false while there is no sound server to
    // play them on, or the server refused the instance's stream; true again once one is back.
    virtual bool Heard() const { return true; }
    // `changed` runs whenever Heard() may have changed, on any thread: it must only hand the news
    // on. Null stops the calls.
    virtual void setHeardListener(std::function<void()> changed) { (void)changed; }
};

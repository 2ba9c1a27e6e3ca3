// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <memory>

class SampleQueue;

// Plays one speech instance's samples (16 kHz mono signed 16-bit). The output reads them from
// the instance's queue at its own pace, on a thread of its own; the engine only says when there
// is something to read. Destroying the output stops it reading the queue.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // Samples wait in the queue: play them. Called after each push into an empty queue, by the
    // synthesis worker holding the synthesiser, so it only wakes the output's thread and never
    // waits for a lock of the output's.
    virtual void samplesQueued() = 0;
    // Drops what the output still holds, so it falls silent at once. The queue has already been
    // emptied. Called without the synthesiser's lock; it may wait for the lock the output's thread
    // holds while it works, which that thread never holds while waiting on a device or the
    // server: it moves at most a buffer's worth of samples (25 ms of sound) or handles one reply
    // of the server, well under a millisecond.
    virtual void flush() = 0;
    // Whether what it plays is heard: false while there is no server to play on, or the server
    // refused the stream.
    virtual bool heard() const { return true; }
    // `changed` runs on the output's thread whenever heard() changes; null stops the calls.
    virtual void setHeardListener(std::function<void()> changed) { (void)changed; }
};

// Makes the output an instance plays through, reading from that instance's queue.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>(SampleQueue &queue)>;

// Whether an instance's texts are heard in calls too, through the "Vocalo" microphone.
enum class InCalls { NotHeard, Heard };

// A playback stream of its own on the desktop's sound server, named `streamName` in the mixer.
// Without a server it plays into nothing at the rate it would have sounded, and tries the server
// again at the next text. Heard in calls, the server has the "Vocalo" microphone while the
// program runs, and the texts spoken for calls play into it as well, at the same moment.
AudioOutputFactory soundServerOutput(const QString &streamName, InCalls inCalls);

// Puts the "Vocalo" microphone on the server as soon as it answers, before any window speaks, so
// a call program finds it from the start.
void addCallMicrophone();
// Takes the "Vocalo" microphone off the server now, waiting for it at most a second: for the
// paths that end the process without destructors. Never on the sound server's thread.
void removeCallMicrophone();

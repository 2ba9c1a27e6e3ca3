// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioAnalysis.h"
#include "SoundOnset.h"

#include <QProcess>
#include <QString>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace desktop {

// The one ear on the sound server of the tests and the desktop benchmark: records a source,
// usually a sink's monitor, through the server's client library on a connection of its own, as
// 16 kHz mono S16 samples, and dates every audible sample to the moment it was played. A started
// helper program (parec) would add its own start-up to every figure and could date nothing.
class MonitorRecorder
{
public:
    using Clock = SoundOnset::Clock;
    static constexpr int SampleRate = audio::SampleRate;

    struct Setup
    {
        QString source;
        // A sink fed silence all along, so that it keeps running and the recording's timeline is
        // real time even where nothing else plays; empty for none.
        QString keptRunning;
        // How often the server hands samples over. A short fragment dates a sample close to the
        // moment it was played, and also makes the sink itself run in short steps.
        std::chrono::milliseconds fragment { 20 };
        int threshold = audio::AudibleThreshold;
    };

    // The test desktop's speakers: its null sink's monitor, the sink kept running.
    MonitorRecorder();
    // `source`, keeping `sink` running.
    MonitorRecorder(const QString &source, const QString &sink);
    explicit MonitorRecorder(Setup setup);
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder &) = delete;
    MonitorRecorder &operator=(const MonitorRecorder &) = delete;

    // Returns once the first samples have come (with a warning where none come within 5 s);
    // false, with a warning and error() set, where the server or the source is not there.
    bool start();
    QString error() const { return m_error; }
    // Ends the recording and returns all of it.
    std::vector<int16_t> stop();
    // What has been recorded so far, without stopping.
    std::vector<int16_t> samplesSoFar() { return samplesSince(0); }
    // How many samples have come so far: a mark to hear what comes after it.
    std::size_t recordedSoFar();
    // What has been recorded after `mark`, without stopping.
    std::vector<int16_t> samplesSince(std::size_t mark);

    // The first audible sample played after `from`, in milliseconds after it.
    std::optional<double> onsetAfter(Clock::time_point from, std::chrono::milliseconds timeout);
    // Until nothing audible has been played for `quiet` (counting from now when nothing has been
    // heard yet); false on time-out.
    bool waitForSilence(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout);
    // Until anything audible has been played after `from`.
    bool waitForSound(Clock::time_point from, std::chrono::milliseconds timeout);
    std::optional<Clock::time_point> lastAudible();

    // As the server names itself, e.g. "pulseaudio 16.1" or "PulseAudio (on PipeWire 0.3.65)".
    QString serverName() const;
    struct Streams
    {
        int open = 0;
        int running = 0; // not corked
    };
    // The playback streams whose application.process.id is `pid`.
    Streams streamsOf(pid_t pid);

private:
    bool fail(const QString &why);

    Setup m_setup;
    QString m_error;
    QProcess m_keepAlive;
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace desktop

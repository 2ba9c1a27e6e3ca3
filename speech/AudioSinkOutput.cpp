// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioOutput.h"
#include "FliteVoice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

namespace {

// Qt names the default device to the sound server explicitly, so the server's own way of
// sending one program elsewhere (PULSE_SINK, e.g. into a call) would be lost; honour it here.
QAudioDevice outputDevice()
{
    const QByteArray wanted = qgetenv("PULSE_SINK");
    if (!wanted.isEmpty()) {
        for (const QAudioDevice &device : QMediaDevices::audioOutputs())
            if (device.id() == wanted)
                return device;
    }
    return QMediaDevices::defaultAudioOutput();
}

class AudioSinkOutput final : public AudioOutput
{
public:
    ~AudioSinkOutput() override
    {
        if (m_sink) {
            // Drop what is still buffered: closing an instance stops its speech at once.
            m_sink->reset();
            m_sink->stop();
        }
    }

    bool open() override
    {
        // Asks the sound server; may block for a long time when the server hangs, which is why
        // this runs on the instance's audio thread and never on the user-interface thread.
        const QAudioDevice device = outputDevice();
        if (device.isNull())
            return false;
        QAudioFormat format;
        format.setSampleRate(flitevoice::SampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_sink = std::make_unique<QAudioSink>(device, format);
        // Short, so speech starts at once; the audio thread tops it up every few milliseconds.
        m_sink->setBufferSize(BufferBytes);
        m_io = m_sink->start();
        if (!m_io || m_sink->error() != QAudio::NoError) {
            m_sink.reset();
            m_io = nullptr;
            return false;
        }
        return true;
    }

    std::size_t writableSamples() override
    {
        if (!m_sink || failed())
            return 0;
        return static_cast<std::size_t>(m_sink->bytesFree()) / sizeof(int16_t);
    }

    void write(const int16_t *samples, std::size_t count) override
    {
        if (m_io)
            m_io->write(reinterpret_cast<const char *>(samples),
                static_cast<qint64>(count * sizeof(int16_t)));
    }

    bool failed() const override
    {
        if (!m_sink)
            return false;
        const QAudio::Error error = m_sink->error();
        return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError
            || m_sink->state() == QAudio::StoppedState;
    }

private:
    static constexpr qsizetype BufferBytes = flitevoice::SampleRate * 2 * 40 / 1000;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_io = nullptr;
};

} // namespace

std::unique_ptr<AudioOutput> makeDeviceAudioOutput()
{
    return std::make_unique<AudioSinkOutput>();
}

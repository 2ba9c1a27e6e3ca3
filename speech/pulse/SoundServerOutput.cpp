// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundServerOutput.h"
#include "CallMicrophone.h"
#include "SampleQueue.h"

#include <algorithm>
#include <cstdio>

using namespace soundroute;

SoundServerOutput::SoundServerOutput(
    SampleQueue &queue, QByteArray streamName, CallMicrophone *microphone)
    : m_queue(queue), m_name(std::move(streamName)), m_server(SoundServer::instance())
{
    SoundServer::Lock lock(m_server);
    m_wakeup.emplace(m_server.api(), woken, this);
    m_server.addClient(this);
    if (microphone) {
        m_callLine.emplace(CallStream::Line { m_server, *microphone, m_name + " in calls" });
        microphone->addListener(this, [this] { service(); });
    }
    m_heard = m_server.state() != SoundServer::State::Failed;
}

SoundServerOutput::~SoundServerOutput()
{
    SoundServer::Lock lock(m_server);
    if (m_underruns > 0)
        std::fprintf(stderr, "vocalo: \"%s\" ran out of samples %zu times while speaking\n",
            m_name.constData(), m_underruns);
    m_server.removeClient(this);
    if (m_callLine)
        m_callLine->microphone.removeListener(this);
    m_wakeup.reset();
    // The route's handles belong to the loop: they go under its lock, not after it.
    m_route = Waiting {};
}

void SoundServerOutput::samplesQueued()
{
    // Handled on the loop's thread, where every other decision about the stream is made.
    m_wakeup->wake();
}

void SoundServerOutput::setHeardListener(std::function<void()> changed)
{
    SoundServer::Lock lock(m_server);
    m_heardChanged = std::move(changed);
}

void SoundServerOutput::soundServerChanged()
{
    // A stream on a context that went away failed with it.
    if (m_server.state() != SoundServer::State::Ready && std::holds_alternative<OnStream>(m_route))
        m_route = Waiting {};
    // A server that is back, or another one, may well take the stream it refused.
    if (m_server.state() == SoundServer::State::Ready && m_server.context() != m_context) {
        m_context = m_server.context();
        m_refused = false;
        if (m_callLine)
            m_callLine->refused = false;
    }
    updateHeard();
    service();
}

// While the server is being connected (as it is asked again every few seconds when it was
// missing) the last answer stands.
void SoundServerOutput::updateHeard()
{
    bool heard = m_heard;
    if (m_server.state() == SoundServer::State::Ready)
        heard = !m_refused;
    else if (m_server.state() == SoundServer::State::Failed)
        heard = false;
    if (m_heard.exchange(heard) != heard && m_heardChanged)
        m_heardChanged();
}

void SoundServerOutput::woken(void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    if (auto *route = std::get_if<OnStream>(&output->m_route)) {
        if (route->drained && !output->m_queue.nextStartsText())
            ++output->m_underruns;
        route->drained = false;
    }
    output->service();
}

// Decides where the waiting samples go: the stream, nowhere in real time, or nowhere yet
// (connecting). Each text may ask for a server that is not there once.
void SoundServerOutput::service()
{
    if (m_queue.size() == 0) {
        if (auto *route = std::get_if<OnStream>(&m_route);
            route && !route->corked && !route->idleTimer)
            armIdleTimer(*route);
        return;
    }
    if (m_queue.nextStartsText() && !m_askedForThisText) {
        m_askedForThisText = true;
        forgetFailures();
        m_server.connect();
    }
    switch (m_server.state()) {
    case SoundServer::State::Connecting:
        stopPlayingIntoNothing();
        return;
    case SoundServer::State::Ready:
        if (!streamFailedThisText()) {
            stopPlayingIntoNothing();
            playOnStream();
            return;
        }
        break;
    case SoundServer::State::Unconnected:
    case SoundServer::State::Failed:
        break;
    }
    playIntoNothing();
}

bool SoundServerOutput::streamFailedThisText() const
{
    if (const auto *route = std::get_if<Waiting>(&m_route))
        return route->streamFailed;
    if (const auto *route = std::get_if<IntoNothing>(&m_route))
        return route->streamFailed;
    return false;
}

void SoundServerOutput::forgetFailures()
{
    if (auto *route = std::get_if<OnStream>(&m_route))
        route->call.forgetFailure();
    else if (auto *route = std::get_if<Waiting>(&m_route))
        route->streamFailed = false;
    else if (auto *route = std::get_if<IntoNothing>(&m_route))
        route->streamFailed = false;
}

std::size_t SoundServerOutput::takeSamples(int16_t *out, std::size_t max, bool *intoCalls)
{
    bool beganText = false;
    const std::size_t taken = m_queue.take(out, max, &beganText, intoCalls);
    if (beganText)
        m_askedForThisText = false;
    return taken;
}

void SoundServerOutput::playIntoNothing()
{
    if (std::holds_alternative<IntoNothing>(m_route))
        return;
    m_route = IntoNothing {
        .streamFailed = streamFailedThisText(),
        .clock = SilentClock(m_server.api(), silentTick, this),
    };
}

void SoundServerOutput::stopPlayingIntoNothing()
{
    if (const auto *route = std::get_if<IntoNothing>(&m_route))
        m_route = Waiting { .streamFailed = route->streamFailed };
}

void SoundServerOutput::silentTick(
    pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    // The clock goes with its route.
    if (auto *route = std::get_if<IntoNothing>(&output->m_route))
        output->playSilently(route->clock);
}

void SoundServerOutput::playSilently(SilentClock &clock)
{
    std::size_t due = clock.due();
    while (due > 0 && m_queue.size() > 0) {
        // A new text asks for the server again; if it is coming, wait for it.
        if (m_queue.nextStartsText() && !m_askedForThisText) {
            stopPlayingIntoNothing();
            service();
            return;
        }
        m_scratch.resize(std::min<std::size_t>(due, 4096));
        const std::size_t n = takeSamples(m_scratch.data(), m_scratch.size());
        if (n == 0)
            break;
        clock.took(n);
        due -= n;
    }
    if (m_queue.size() == 0) {
        stopPlayingIntoNothing();
        return;
    }
    clock.next();
}

AudioOutputFactory soundServerOutput(const QString &streamName, InCalls inCalls)
{
    return
        [name = streamName.toUtf8(), inCalls](SampleQueue &queue) -> std::unique_ptr<AudioOutput> {
            return std::make_unique<SoundServerOutput>(
                queue, name, inCalls == InCalls::Heard ? &CallMicrophone::instance() : nullptr);
        };
}

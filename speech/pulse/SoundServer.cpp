// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundServer.h"

#include <cstdio>
#include <stdexcept>

namespace {

// A frozen server accepts the socket but never answers; after this long its text plays into
// nothing, and the next text asks again.
constexpr pa_usec_t ConnectTimeout = 3 * PA_USEC_PER_SEC;

pa_proplist *applicationProperties()
{
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Vocalo");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.vocalo.Vocalo");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.vocalo.Vocalo");
    return properties;
}

} // namespace

pa_time_event *newTimer(
    pa_mainloop_api *api, pa_usec_t usec, pa_time_event_cb_t callback, void *userdata)
{
    struct timeval when;
    pa_timeval_add(pa_gettimeofday(&when), usec);
    return api->time_new(api, &when, callback, userdata);
}

void restartTimer(pa_mainloop_api *api, pa_time_event *timer, pa_usec_t usec)
{
    struct timeval when;
    pa_timeval_add(pa_gettimeofday(&when), usec);
    api->time_restart(timer, &when);
}

SoundServer::Lock::Lock(SoundServer &server) : m_loop(server.m_loop)
{
    pa_threaded_mainloop_lock(m_loop);
}

SoundServer::Lock::~Lock()
{
    pa_threaded_mainloop_unlock(m_loop);
}

SoundServer &SoundServer::instance()
{
    // Deliberately leaked (see the header); a function-local static makes the first use safe
    // from any thread.
    static SoundServer *server = new SoundServer;
    return *server;
}

SoundServer::SoundServer()
{
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        throw std::runtime_error("Vocalo cannot start its sound output: out of memory.");
    pa_threaded_mainloop_set_name(m_loop, "vocalo-sound");
    m_api = pa_threaded_mainloop_get_api(m_loop);
    m_clients.emplace(m_api);
    if (pa_threaded_mainloop_start(m_loop) < 0) {
        m_clients.reset();
        pa_threaded_mainloop_free(m_loop);
        throw std::runtime_error("Vocalo cannot start its sound output: the system allows no "
                                 "more threads. Close some programs and start Vocalo again.");
    }
    Lock lock(*this);
    connect();
}

void SoundServer::connect()
{
    if (m_state == State::Connecting || m_state == State::Ready)
        return;
    dropContext();
    pa_proplist *properties = applicationProperties();
    m_context = pa_context_new_with_proplist(m_api, "Vocalo", properties);
    pa_proplist_free(properties);
    if (!m_context) {
        setState(State::Failed);
        return;
    }
    pa_context_set_state_callback(m_context, contextStateChanged, this);
    setState(State::Connecting);
    // No server is started on our behalf: a talking window is no reason to spawn a daemon,
    // and each retry would start another.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        dropContext();
        setState(State::Failed);
        return;
    }
    m_connectTimeout = newTimer(m_api, ConnectTimeout, connectTimedOut, this);
}

void SoundServer::dropContext()
{
    if (m_connectTimeout) {
        m_api->time_free(m_connectTimeout);
        m_connectTimeout = nullptr;
    }
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void SoundServer::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (state == State::Ready) {
        m_reportedMissing = false;
    } else if (state == State::Failed && !m_reportedMissing) {
        m_reportedMissing = true;
        std::fputs("vocalo: no audio output; speech is silent until a sound server is available\n",
            stderr);
    }
    m_clients->announce();
}

void SoundServer::contextStateChanged(pa_context *context, void *self)
{
    auto *server = static_cast<SoundServer *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        if (server->m_connectTimeout) {
            server->m_api->time_free(server->m_connectTimeout);
            server->m_connectTimeout = nullptr;
        }
        server->setState(State::Ready);
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        server->dropContext();
        server->setState(State::Failed);
        break;
    default:
        break;
    }
}

void SoundServer::connectTimedOut(
    pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *server = static_cast<SoundServer *>(self);
    if (server->m_state != State::Connecting)
        return;
    server->dropContext();
    server->setState(State::Failed);
}

void SoundServer::wait()
{
    pa_threaded_mainloop_wait(m_loop);
}

void SoundServer::wake()
{
    pa_threaded_mainloop_signal(m_loop, 0);
}

void SoundServer::addClient(Client *client)
{
    m_clients->add(client, [client] { client->soundServerChanged(); });
}

void SoundServer::removeClient(Client *client)
{
    m_clients->remove(client);
}

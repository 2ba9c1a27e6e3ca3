// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Listeners.h"

#include <pulse/pulseaudio.h>

#include <memory>
#include <optional>

// The process's one connection to the desktop's sound server: libpulse's threaded main loop and
// one context, shared by every speech instance's stream. Nothing here waits for the server: the
// connection is made in the background, and a server that is missing, frozen or gone leaves the
// context failed until the next text asks for it again.
//
// Everything but instance() and Lock runs on the loop's thread or under its lock.
class SoundServer
{
public:
    enum class State { Unconnected, Connecting, Ready, Failed };

    // Told on the loop's thread, never from inside a call of theirs, when the state changed.
    class Client
    {
    public:
        virtual void soundServerChanged() = 0;

    protected:
        ~Client() = default;
    };

    // Holds the loop's lock; never used on the loop's own thread, whose callbacks already hold it.
    class Lock
    {
    public:
        explicit Lock(SoundServer &server);
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        pa_threaded_mainloop *m_loop;
    };

    // Starts the loop's thread at first use and connects in the background. Throws
    // std::runtime_error when the thread cannot start. Never destroyed: streams may still be
    // closing on the loop's thread while the process exits.
    static SoundServer &instance();

    State state() const { return m_state; }
    pa_context *context() const { return m_context; }
    pa_mainloop_api *api() const { return m_api; }

    // Starts connecting unless connected or connecting already.
    void connect();

    void addClient(Client *client);
    void removeClient(Client *client);

    // A thread holding Lock waits here, the lock released meanwhile, until the loop's thread
    // calls wake(); callers check their condition again, as with any condition variable.
    void wait();
    void wake();

private:
    SoundServer();

    void setState(State state);
    void dropContext();
    static void contextStateChanged(pa_context *context, void *self);
    static void connectTimedOut(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_mainloop_api *m_api = nullptr;
    pa_context *m_context = nullptr;
    State m_state = State::Unconnected;
    pa_time_event *m_connectTimeout = nullptr;
    std::optional<Listeners> m_clients;
    bool m_reportedMissing = false;
};

// A time event `usec` from now. The loop's public interface only takes wall-clock times.
pa_time_event *newTimer(
    pa_mainloop_api *api, pa_usec_t usec, pa_time_event_cb_t callback, void *userdata);
void restartTimer(pa_mainloop_api *api, pa_time_event *timer, pa_usec_t usec);

struct TimerFree
{
    pa_mainloop_api *api = nullptr;
    void operator()(pa_time_event *timer) const { api->time_free(timer); }
};
// A time event freed with its owner, on the loop's thread or under its lock.
using Timer = std::unique_ptr<pa_time_event, TimerFree>;

inline Timer makeTimer(
    pa_mainloop_api *api, pa_usec_t usec, pa_time_event_cb_t callback, void *userdata)
{
    return Timer(newTimer(api, usec, callback, userdata), TimerFree { api });
}

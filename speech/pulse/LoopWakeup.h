// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pulse/pulseaudio.h>

// Wakes the sound server's loop from another thread without the loop's lock: an eventfd the
// loop watches. The synthesis worker has samples while it holds the synthesiser's lock, which
// every instance shares; taking the loop's lock there would nest the two, and every instance's
// synthesis would wait on the sound thread's work.
//
// Made and destroyed on the loop's thread or under its lock; `woken` runs on the loop's thread.
class LoopWakeup
{
public:
    using Woken = void (*)(void *userdata);

    // Throws std::runtime_error when the system gives no file descriptor.
    LoopWakeup(pa_mainloop_api *api, Woken woken, void *userdata);
    ~LoopWakeup();
    LoopWakeup(const LoopWakeup &) = delete;
    LoopWakeup &operator=(const LoopWakeup &) = delete;

    // From any thread, never blocking; wakes that come before the loop runs are one.
    void wake();

private:
    static void readable(pa_mainloop_api *, pa_io_event *, int fd, pa_io_event_flags_t, void *self);

    pa_mainloop_api *m_api;
    Woken m_woken;
    void *m_userdata;
    int m_fd;
    pa_io_event *m_event = nullptr;
};

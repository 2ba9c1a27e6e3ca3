// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pulse/pulseaudio.h>

#include <functional>
#include <utility>
#include <vector>

// Those told that something on the sound server's loop changed. They are told on the loop's
// thread soon after announce(), never from inside the call that announced: the announcer is
// mid-change there, and a listener may add or remove listeners, itself included, while told.
//
// Everything runs on the loop's thread or under its lock.
class Listeners
{
public:
    explicit Listeners(pa_mainloop_api *api);
    ~Listeners();
    Listeners(const Listeners &) = delete;
    Listeners &operator=(const Listeners &) = delete;

    // `who` names the listener for remove().
    void add(const void *who, std::function<void()> changed);
    void remove(const void *who);
    void announce();

private:
    static void tell(pa_mainloop_api *api, pa_defer_event *event, void *self);

    pa_mainloop_api *m_api;
    pa_defer_event *m_event;
    std::vector<std::pair<const void *, std::function<void()>>> m_listeners;
};

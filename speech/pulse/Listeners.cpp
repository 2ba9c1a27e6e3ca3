// SPDX-License-Identifier: GPL-3.0-or-later
#include "Listeners.h"

#include <algorithm>

Listeners::Listeners(pa_mainloop_api *api) : m_api(api), m_event(api->defer_new(api, tell, this))
{
    m_api->defer_enable(m_event, 0);
}

Listeners::~Listeners()
{
    m_api->defer_free(m_event);
}

void Listeners::add(const void *who, std::function<void()> changed)
{
    m_listeners.emplace_back(who, std::move(changed));
}

void Listeners::remove(const void *who)
{
    std::erase_if(m_listeners, [who](const auto &listener) { return listener.first == who; });
}

void Listeners::announce()
{
    m_api->defer_enable(m_event, 1);
}

void Listeners::tell(pa_mainloop_api *api, pa_defer_event *event, void *self)
{
    api->defer_enable(event, 0);
    auto *listeners = static_cast<Listeners *>(self);
    std::vector<const void *> told;
    told.reserve(listeners->m_listeners.size());
    for (const auto &listener : listeners->m_listeners)
        told.push_back(listener.first);
    // Looked up again each time: the one before may have removed it.
    for (const void *who : told) {
        auto &all = listeners->m_listeners;
        const auto found = std::find_if(
            all.begin(), all.end(), [who](const auto &listener) { return listener.first == who; });
        if (found != all.end()) {
            const std::function<void()> changed = found->second;
            changed();
        }
    }
}

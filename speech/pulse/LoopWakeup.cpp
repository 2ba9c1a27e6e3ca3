// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopWakeup.h"

#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

LoopWakeup::LoopWakeup(pa_mainloop_api *api, Woken woken, void *userdata)
    : m_api(api), m_woken(woken), m_userdata(userdata), m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw std::runtime_error("Vocalo cannot start its sound output: the system allows no "
                                 "more open files. Close some programs and start Vocalo again.");
    m_event = m_api->io_new(m_api, m_fd, PA_IO_EVENT_INPUT, readable, this);
}

LoopWakeup::~LoopWakeup()
{
    m_api->io_free(m_event);
    ::close(m_fd);
}

void LoopWakeup::wake()
{
    // Cannot block: a full counter (never reached) already means "wake".
    eventfd_write(m_fd, 1);
}

void LoopWakeup::readable(pa_mainloop_api *, pa_io_event *, int fd, pa_io_event_flags_t, void *self)
{
    eventfd_t count = 0;
    eventfd_read(fd, &count);
    auto *wakeup = static_cast<LoopWakeup *>(self);
    wakeup->m_woken(wakeup->m_userdata);
}

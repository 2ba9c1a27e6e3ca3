// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Desktop.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>

#include <xcb/xcb.h>

// Counts the X server's UnmapNotify events for one window of this process: a window hidden and
// shown again to change its stacking band would flicker.
class UnmapCounter : public QAbstractNativeEventFilter
{
public:
    explicit UnmapCounter(desktop::WindowId window) : m_window(window)
    {
        qApp->installNativeEventFilter(this);
    }
    ~UnmapCounter() override { qApp->removeNativeEventFilter(this); }
    int count() const { return m_count; }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_UNMAP_NOTIFY
            && reinterpret_cast<xcb_unmap_notify_event_t *>(event)->window == m_window)
            ++m_count;
        return false;
    }

private:
    desktop::WindowId m_window;
    int m_count = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "TwipWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>

namespace {
// Move events the window system sends soon after one of our own moves may still describe an
// older position; only later ones (the user dragged the window) say where the window is now.
constexpr qint64 OwnMoveSettleMs = 500;
}

TwipWindow::TwipWindow(QWidget *window)
    : QObject(window), m_window(window), m_top(toTwips(window->y()))
{
    window->installEventFilter(this);
}

void TwipWindow::setTop(float twips)
{
    m_top = twips;
    m_sinceOwnMove.start();
    m_window->move(m_window->x(), toPixels(twips));
}

float TwipWindow::width() const
{
    return toTwips(m_window->width());
}

float TwipWindow::height() const
{
    return toTwips(m_window->height());
}

void TwipWindow::setHeight(float twips)
{
    setSize(width(), twips);
}

void TwipWindow::setSize(float widthTwips, float heightTwips)
{
    const QSize size(toPixels(widthTwips), toPixels(heightTwips));
    // Forms are fixed-size; the limits move with the size we set.
    m_window->setMinimumSize(size);
    m_window->setMaximumSize(size);
    m_window->resize(size);
}

void TwipWindow::centreOnScreen()
{
    QScreen *screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = m_window->size();
    const int x = area.x() + (area.width() - size.width()) / 2;
    const int y = area.y() + (area.height() - size.height()) / 2;
    m_window->move(x, y);
    m_top = toTwips(y);
    m_sinceOwnMove.start();
}

bool TwipWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Move && event->spontaneous()) {
        const bool settled
            = !m_sinceOwnMove.isValid() || m_sinceOwnMove.elapsed() > OwnMoveSettleMs;
        if (settled)
            m_top = toTwips(static_cast<QMoveEvent *>(event)->pos().y());
    }
    return QObject::eventFilter(watched, event);
}

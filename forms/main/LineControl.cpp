// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineControl.h"

#include "TwipWindow.h"

#include <QPainter>

namespace {
QPoint toPixels(QPoint twips)
{
    return { TwipWindow::toPixels(twips.x()), TwipWindow::toPixels(twips.y()) };
}
}

LineControl::LineControl(QPoint fromTwips, QPoint toTwips, QWidget *parent)
    : QWidget(parent), m_from(toPixels(fromTwips)), m_to(toPixels(toTwips))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // QRect from two corners includes both, so a vertical line is one pixel wide.
    setGeometry(QRect(m_from, m_to).normalized());
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(m_from - pos(), m_to - pos());
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineControl.h"

#include "TwipWindow.h"

#include <QPainter>

LineControl::LineControl(QPoint fromTwips, QPoint toTwips, QWidget *parent) : QWidget(parent)
{
    const QPoint span = toTwips - fromTwips;
    const QRect pixels = TwipWindow::toPixelRect(fromTwips.x(), fromTwips.y(), span.x(), span.y());
    m_from = pixels.topLeft();
    m_to = m_from + QPoint(pixels.width(), pixels.height());
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "PressLabel.h"

#include <QMouseEvent>

PressLabel::PressLabel(QWidget *parent) : QLabel(parent) { }

void PressLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    m_leftDown = event->button() == Qt::LeftButton;
    emit pressed();
}

void PressLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const bool click = m_leftDown && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_leftDown = false;
    if (click)
        emit clicked();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "PressLabel.h"

#include <QMouseEvent>

PressLabel::PressLabel(QWidget *parent) : QLabel(parent) { }

void PressLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    emit pressed();
}

void PressLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShapeControl.h"

#include <QPainter>

ShapeControl::ShapeControl(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(Qt::NoBrush);
    // The outline lies inside the control's bounds.
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

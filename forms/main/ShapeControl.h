// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A rectangle outline in the window's text colour, see-through inside. It only draws: the mouse
// passes through it to whatever lies below.
class ShapeControl : public QWidget
{
    Q_OBJECT
public:
    explicit ShapeControl(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

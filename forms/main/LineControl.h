// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QWidget>

// A one-pixel line between two points of its parent, given in twips, in the window's text
// colour. It only draws: the mouse passes through it to whatever lies below.
class LineControl : public QWidget
{
    Q_OBJECT
public:
    LineControl(QPoint fromTwips, QPoint toTwips, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint m_from; // pixels, in the parent
    QPoint m_to;
};

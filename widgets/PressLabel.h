// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A label that reports the mouse: `pressed` on any button going down, `clicked` when the left
// button is released over it after going down over it, with no other button in between. It
// takes the presses it reports: they do not reach the window below.
class PressLabel : public QLabel
{
    Q_OBJECT
public:
    explicit PressLabel(QWidget *parent = nullptr);

signals:
    void pressed();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_leftDown = false;
};

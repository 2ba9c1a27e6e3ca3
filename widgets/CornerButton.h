// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>

// A push button that draws nothing of its own over what lies under it (a shape that looks like
// a corner), but the highlight of the keyboard focus. To the keyboard and to assistive
// technology it is an ordinary push button: Space and Return press it, and it is named and
// pressed like one.
class CornerButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CornerButton(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "CornerButton.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

CornerButton::CornerButton(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    // Return presses it too, as it does a dialog's buttons.
    setAutoDefault(true);
}

void CornerButton::paintEvent(QPaintEvent *)
{
    if (!hasFocus())
        return;
    // The button may reach past its window's edge: the highlight fills only what shows.
    const QRect shown = parentWidget()
        ? rect() & QRect(mapFromParent(QPoint(0, 0)), parentWidget()->size())
        : rect();
    QPainter painter(this);
    painter.fillRect(shown, palette().color(QPalette::Highlight));
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = shown;
    focus.backgroundColor = palette().color(QPalette::Highlight);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

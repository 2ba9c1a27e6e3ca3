// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Desktop.h"
#include "TwipWindow.h"
#include "WindowTools.h"

#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

// A frameless window that starts a drag on every mouse press, as the strip's surface does.
class DraggableWindow : public QWidget
{
public:
    explicit DraggableWindow(const QString &colour = QStringLiteral("#3366aa"))
        : QWidget(nullptr, Qt::FramelessWindowHint), twips(this)
    {
        resize(200, 80);
        setStyleSheet("background: " + colour);
    }
    TwipWindow twips;

protected:
    void mousePressEvent(QMouseEvent *) override { WindowTools::BeginDragMove(twips); }
};

// Shows the window and waits until the X server has it where Qt put it.
inline void showAndWait(QWidget &widget)
{
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    ASSERT_TRUE(desktop::waitUntilPlaced(widget));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form.h"

#include "WindowTools.h"

#include <QShowEvent>

Form::Form(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags | Qt::Window), m_twips(new TwipWindow(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void Form::Show()
{
    // A window the user minimised comes back too: showing it is asking for it on screen.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void Form::Hide()
{
    hide();
}

void Form::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window manager's own (a restore), and the window keeps its state.
    if (!m_listedInTaskBar && !event->spontaneous())
        WindowTools::keepOutOfTaskBar(*this);
    QWidget::showEvent(event);
}

void Form::setClientSizeTwips(int width, int height)
{
    m_twips->setSize(static_cast<float>(width), static_cast<float>(height));
    m_twips->centreOnScreen();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secret.h"

#include "FormRegistry.h"
#include "MessageBox.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

namespace {

constexpr int ClientWidth = 1485;
constexpr int ClientHeight = 1455;

} // namespace

Secret::Secret(QWidget *parent)
    // A tool window stays out of the task bar and, unlike a splash window, still gets focus.
    : Form(parent, Qt::Tool | Qt::FramelessWindowHint), m_image(new QLabel(this))
{
    setListedInTaskBar(false);
    m_image->setObjectName(QStringLiteral("Image"));
    m_image->setScaledContents(true);
    m_image->setPixmap(QPixmap(QStringLiteral(":/assets/credits.png")));
    // Reaches 120 twips above the top edge and 90 past the right one, so it covers the whole
    // page and a click anywhere lands on it.
    m_image->setGeometry(
        0, TwipWindow::toPixels(-120), TwipWindow::toPixels(1575), TwipWindow::toPixels(1575));
    m_image->installEventFilter(this);
    setClientSizeTwips(ClientWidth, ClientHeight);
}

void Secret::load()
{
    MessageBox::show(QStringLiteral("The Programmer."), QStringLiteral("Secret Place"));
}

bool Secret::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_image) {
        // A click is a press and a release of the left button, both on the picture.
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressedOnImage = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const bool click = m_pressedOnImage && mouse->button() == Qt::LeftButton
                && m_image->rect().contains(mouse->position().toPoint());
            m_pressedOnImage = false;
            if (click)
                Image_Click();
            return true;
        }
    }
    return Form::eventFilter(watched, event);
}

void Secret::closeEvent(QCloseEvent *event)
{
    // The main window is hidden while the page is up, so a page closed from the keyboard or by
    // the window manager would leave the program running with nothing on screen. Closing it
    // goes back to the main window as a click does, and the page stays loaded for next time.
    event->ignore();
    Image_Click();
}

void Secret::Image_Click()
{
    Hide();
    FormRegistry::instance().reach(QStringLiteral("MainFRM")).Show();
}

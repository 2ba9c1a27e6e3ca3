// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secret.h"

#include "FormRegistry.h"
#include "MessageBox.h"
#include "PressLabel.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPixmap>

namespace {

constexpr int ClientWidth = 1485;
constexpr int ClientHeight = 1455;

} // namespace

Secret::Secret(QWidget *parent)
    // A tool window stays out of the task bar and, unlike a splash window, still gets focus.
    : Form(parent, Qt::Tool | Qt::FramelessWindowHint), m_image(new PressLabel(this))
{
    setListedInTaskBar(false);
    m_image->setObjectName(QStringLiteral("Image"));
    // The picture is of the person the greeting names.
    m_image->setAccessibleName(QStringLiteral("The Programmer."));
    m_image->setScaledContents(true);
    m_image->setPixmap(QPixmap(QStringLiteral(":/assets/credits.png")));
    // Reaches 120 twips above the top edge and 90 past the right one, so it covers the whole
    // page and a click anywhere lands on it.
    m_image->setGeometry(TwipWindow::toPixelRect(0, -120, 1575, 1575));
    connect(m_image, &PressLabel::clicked, this, &Secret::Image_Click);
    setClientSizeTwips(ClientWidth, ClientHeight);
}

void Secret::load()
{
    MessageBox::show(QStringLiteral("The Programmer."), QStringLiteral("Secret Place"));
}

void Secret::closeEvent(QCloseEvent *event)
{
    // The main window is hidden while the page is up, so a page closed from the keyboard or by
    // the window manager would leave the program running with nothing on screen. Closing it
    // goes back to the main window as a click does, and the page stays loaded for next time.
    event->ignore();
    Image_Click();
}

// Nothing on the page takes the keyboard: Esc closes it as it closes a dialog.
void Secret::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        Form::keyPressEvent(event);
}

void Secret::Image_Click()
{
    Hide();
    FormRegistry::instance().reach(FormNames::MainFRM).Show();
}

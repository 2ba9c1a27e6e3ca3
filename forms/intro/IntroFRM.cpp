// SPDX-License-Identifier: GPL-3.0-or-later
#include "IntroFRM.h"

#include "Application.h"
#include "FormRegistry.h"
#include "WindowTools.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

IntroFRM::IntroFRM(std::unique_ptr<SpeechEngine> ds, QWidget *parent)
    // A splash window: no frame, no task bar entry, and window managers leave it where it is
    // put even above the top of the screen, which the slide needs.
    : Form(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_ds(std::move(ds))
    , m_picture(QStringLiteral(":/assets/intro.png"))
{
    setListedInTaskBar(false);
    setWindowTitle(QStringLiteral("Vocalo"));
    setWindowIcon(Application::programIcon());
    setClientSizeTwips(ClientWidth, ClientHeight);

    m_ds->SetSpeed(SpeechEngine::StartingSpeed);
    m_ds->SetPitch(SpeechEngine::StartingPitch);

    m_data = new QLabel(QStringLiteral("Lite Version"), this);
    m_data->setObjectName(QStringLiteral("Data"));
    m_data->setGeometry(TwipWindow::toPixelRect(3480, 4440, 2655, 495));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(24);
    m_data->setFont(font);
    // Transparent over the picture, in the desktop's highlighted-text colour (and following
    // it when the colour scheme changes).
    m_data->setAutoFillBackground(false);
    m_data->setForegroundRole(QPalette::HighlightedText);
    m_data->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label has no click handler of its own; its clicks do not reach the picture.
    m_data->setAttribute(Qt::WA_NoMousePropagation);
}

IntroFRM::~IntroFRM() = default;

void IntroFRM::load()
{
    m_opening = true;
    Show();
    WindowTools::MakeTopmost(twips());
    m_ds->Speak(QStringLiteral("Welcome to Vocalo Lite."));
    int seconds = 2;
    WindowTools::Pause(seconds);
    WindowTools::SlideUpOut(twips());
    WindowTools::SlideDown(twips());
    // Each step of a slide is on screen for one frame; the last one too, before the window
    // goes, or nobody sees it pass the line it drops to.
    WindowTools::processPendingEvents();
    FramePacer lastStep;
    lastStep.start();
    lastStep.waitForNextFrame();
    Hide();
    m_opening = false;
    FormRegistry::instance().reach(FormNames::MainFRM).Show();
}

void IntroFRM::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void IntroFRM::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    event->accept();
}

void IntroFRM::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is a press and a release on the picture; the window may have slid on meanwhile,
    // so where the pointer is now does not matter.
    if (m_pressed) {
        m_pressed = false;
        Form_Click();
    }
    event->accept();
}

void IntroFRM::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is a click of its own.
    mousePressEvent(event);
}

void IntroFRM::closeEvent(QCloseEvent *event)
{
    // The opening runs inside this window's load handler: closing (and so deleting) the
    // window under it would pull the ground from under the sequence. It has no close box, but
    // a window manager's close key still asks.
    if (m_opening)
        event->ignore();
    else
        Form::closeEvent(event);
}

void IntroFRM::Form_Click()
{
    QApplication::beep();
}

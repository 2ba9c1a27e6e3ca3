// SPDX-License-Identifier: GPL-3.0-or-later
#include "MenuForm.h"

#include "Application.h"
#include "FormRegistry.h"
#include "MessageBox.h"
#include "SpeechEngineFactory.h"

#include <QMenu>
#include <QStyle>

MenuForm::MenuForm(StripCommands strip, QWidget *parent)
    : Form(parent,
        Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
    , m_strip(std::move(strip))
    , m_file(new QMenu(QStringLiteral("File"), this))
{
    setWindowTitle(QStringLiteral("Menu"));
    setWindowIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    // Left where the window system puts new windows: it is never shown anyway.
    twips().setSize(2010, 120);

    m_file->setObjectName(QStringLiteral("MNUFile"));
    const auto addCommand = [this](const char *name, const QString &caption, auto handler) {
        QAction *action = m_file->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    addCommand("MNUOptions", QStringLiteral("Options"), &MenuForm::MNUOptions_Click);
    addCommand("MNUQuickWindow", QStringLiteral("Quick Window"), &MenuForm::MNUQuickWindow_Click);
    addCommand("MNUSecretPlace", QStringLiteral("Secret Place"), &MenuForm::MNUSecretPlace_Click);
    m_file->addSeparator()->setObjectName(QStringLiteral("L1"));
    addCommand("MNUAbout", QStringLiteral("About"), &MenuForm::MNUAbout_Click);
    addCommand("MNUExit", QStringLiteral("Exit"), &MenuForm::MNUExit_Click);
}

void MenuForm::load()
{
    Hide();
    FormRegistry::instance().reach(FormNames::MainFRM).Show();
}

void MenuForm::MNUOptions_Click()
{
    m_strip.openOptions();
}

void MenuForm::MNUQuickWindow_Click()
{
    FormRegistry::instance().reach(FormNames::QW).Show();
}

// The text is read again before the page opens, as it always was: nothing in between changes it.
void MenuForm::MNUSecretPlace_Click()
{
    const QString code = QString::fromLatin1(AccessCode);
    if (m_strip.typedText() == code)
        FormRegistry::instance().reach(FormNames::MainFRM).Hide();
    if (m_strip.typedText() == code)
        FormRegistry::instance().reach(FormNames::Secret).Show();
}

void MenuForm::MNUAbout_Click()
{
    MessageBox::show(QStringLiteral("Vocalo 1.0\nBy Quillon\n\nSpeech: ")
            + speechEngineDescription()
            + QStringLiteral("\n\nEnter speaks the line; Esc stops every voice."
                             "\nUp and Down bring back earlier lines."
                             "\nTab or Right takes the word offered; F1, F2 and F3 take the "
                             "first, second and third of the row under the strip, as a click does."
                             "\nF10 opens this menu; Shift+Tab reaches its button."
                             "\nOn the Quick Window, Tab walks the phrases, Space or Return says "
                             "one, and Esc stops it or closes the window."
                             "\n\nIn a call, choose \"Vocalo\" as the microphone: the call "
                             "hears what you say here."),
        QStringLiteral("About Vocalo"));
}

void MenuForm::MNUExit_Click()
{
    Application::endNow(0);
}

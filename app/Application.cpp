// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "MessageBox.h"

#include <QFont>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <exception>

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName("Vocalo");
    setApplicationVersion("1.0");
    // Matches the installed desktop entry, so shells put the windows under its name and icon.
    setDesktopFileName("org.vocalo.Vocalo");
    setWindowIcon(programIcon());
    installFontSubstitutions();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        reportFatalError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportFatalError(QStringLiteral("Unexpected error"));
    }
}

QIcon Application::programIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/assets/icons/vocalo-%1.png").arg(size), QSize(size, size));
    return icon;
}

void Application::installFontSubstitutions()
{
    QFont::insertSubstitution("OCR A Extended", "OCRA");
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
}

void Application::reportFatalError(const QString &text)
{
    std::fprintf(stderr, "vocalo: %s\n", qPrintable(text));
    MessageBox::show(text, QStringLiteral("Vocalo"));
    endNow(1);
}

void Application::endNow(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

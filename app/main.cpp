// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "DisplaySession.h"
#include "FormRegistry.h"
#include "IntroFRM.h"
#include "MainFRM.h"
#include "MenuForm.h"
#include "QW.h"
#include "Secret.h"
#include "SpeechEngineFactory.h"

int main(int argc, char **argv)
{
    Application::endOnTerminationSignals();
    // Every way out of the program takes its microphone along.
    Application::atEnd(removeCallMicrophone);
    DisplaySession::preferX11();
    Application app(argc, argv);
    // Only once a display was there: without one Qt ends the process before anything unloads.
    addCallMicrophone();
    DisplaySession::endWhenTheDisplayGoesAway();
    DisplaySession::reportPlatformLimits();
    auto &forms = FormRegistry::instance();
    forms.registerForm<IntroFRM>(
        [] { return new IntroFRM(createSpeechEngine("Vocalo greeting")); });
    // What the user says from the strip and the board is heard in calls; the splash's greeting
    // is for the person at the desk.
    forms.registerForm<MainFRM>(
        [] { return new MainFRM(createSpeechEngine("Vocalo", InCalls::Heard)); });
    forms.registerForm<MenuForm>([] { return new MenuForm(MainFRM::menuCommands()); });
    forms.registerForm<QW>(
        [] { return new QW(createSpeechEngine("Vocalo phrase board", InCalls::Heard)); });
    forms.registerForm<Secret>();
    try {
        // The intro's load handler runs the whole opening and shows the main window at its end.
        forms.reach<IntroFRM>();
    } catch (const std::exception &error) {
        Application::reportFatalError(QString::fromUtf8(error.what()));
    }
    return app.exec();
}

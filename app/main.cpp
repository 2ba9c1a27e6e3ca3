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
    DisplaySession::preferX11();
    Application app(argc, argv);
    DisplaySession::endWhenTheDisplayGoesAway();
    DisplaySession::reportPlatformLimits();
    auto &forms = FormRegistry::instance();
    forms.registerForm<IntroFRM>(
        [] { return new IntroFRM(createSpeechEngine("Vocalo greeting")); });
    forms.registerForm<MainFRM>([] { return new MainFRM(createSpeechEngine("Vocalo")); });
    forms.registerForm<MenuForm>();
    forms.registerForm<QW>([] { return new QW(createSpeechEngine("Vocalo phrase board")); });
    forms.registerForm<Secret>();
    try {
        // The intro's load handler runs the whole opening and shows the main window at its end.
        forms.reach<IntroFRM>();
    } catch (const std::exception &error) {
        Application::reportFatalError(QString::fromUtf8(error.what()));
    }
    return app.exec();
}

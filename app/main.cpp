// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "FormRegistry.h"
#include "MainFRM.h"
#include "QW.h"
#include "Secret.h"
#include "SpeechEngineFactory.h"

int main(int argc, char **argv)
{
    Application app(argc, argv);
    auto &forms = FormRegistry::instance();
    forms.registerForm("MainFRM", [] { return new MainFRM; });
    forms.registerForm("QW", [] { return new QW(createSpeechEngine()); });
    forms.registerForm("Secret", [] { return new Secret; });
    try {
        forms.reach("MainFRM").Show();
    } catch (const std::exception &error) {
        Application::reportFatalError(QString::fromUtf8(error.what()));
    }
    return app.exec();
}

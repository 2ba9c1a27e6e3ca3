// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Application.h"
#include "Form.h"
#include "FormRegistry.h"
#include "MainFRM.h"
#include "MenuForm.h"
#include "MessageBox.h"
#include "QW.h"
#include "RecordingSpeechEngine.h"
#include "TextBox.h"

#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The strip loaded through the registry as the program loads it, with speech controls that
// record what they are handed. The credits page is a bare stand-in: the menu only shows it.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Application::installFontSubstitutions();
        auto &forms = FormRegistry::instance();
        forms.reset();
        forms.registerForm<MainFRM>(
            [log = mainLog] { return new MainFRM(std::make_unique<RecordingSpeechEngine>(log)); });
        forms.registerForm<QW>(
            [log = quickLog] { return new QW(std::make_unique<RecordingSpeechEngine>(log)); });
        forms.registerForm<MenuForm>([] { return new MenuForm(MainFRM::menuCommands()); });
        forms.registerForm(FormNames::Secret, [] { return new Form; });
        main = &forms.reach<MainFRM>();
    }

    void TearDown() override
    {
        MessageBox::answerWith({});
        FormRegistry::instance().reset();
    }

    template <typename T = QWidget>
    T *control(const char *name)
    {
        T *found = main->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QAction *command(const char *name)
    {
        return FormRegistry::instance().reach<MenuForm>().MNUFile().findChild<QAction *>(
            QString::fromLatin1(name));
    }

    // Waits for the timer to have run at least once more.
    // The strip's own keys (Esc, Up, Down) are the box's while it has the keyboard, in the
    // window that has it.
    void typeIntoTheStrip()
    {
        main->show();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
        main->Data().setFocus();
    }

    void waitForTick()
    {
        const std::size_t before = mainLog->speeds.size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return mainLog->speeds.size() > before; }, 2000));
    }

    std::shared_ptr<RecordingSpeechEngine::Log> mainLog
        = std::make_shared<RecordingSpeechEngine::Log>();
    std::shared_ptr<RecordingSpeechEngine::Log> quickLog
        = std::make_shared<RecordingSpeechEngine::Log>();
    MainFRM *main = nullptr;
};

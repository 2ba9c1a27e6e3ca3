// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowFixture.h"

#include "SpeechEngineFactory.h"

#include "TextBox.h"
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>

namespace {

MenuForm &menuForm()
{
    return FormRegistry::instance().reach<MenuForm>();
}

} // namespace

TEST_F(MainWindowFixture, MenuHoldsItsCommandsInOrderWithoutKeysOrMarks)
{
    const QList<QAction *> actions = menuForm().MNUFile().actions();
    const std::pair<const char *, const char *> expected[] = {
        { "MNUOptions", "Options" },
        { "MNUQuickWindow", "Quick Window" },
        { "MNUSecretPlace", "Secret Place" },
        { "L1", "" },
        { "MNUAbout", "About" },
        { "MNUExit", "Exit" },
    };
    ASSERT_EQ(actions.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        QAction *action = actions[static_cast<qsizetype>(i)];
        EXPECT_EQ(action->objectName(), expected[i].first);
        EXPECT_EQ(action->text(), expected[i].second);
        EXPECT_EQ(action->isSeparator(), action->objectName() == "L1");
        EXPECT_TRUE(action->shortcut().isEmpty()) << expected[i].first;
        EXPECT_FALSE(action->text().contains('&')) << expected[i].first;
        EXPECT_FALSE(action->isCheckable()) << expected[i].first;
    }
    EXPECT_EQ(menuForm().MNUFile().objectName(), "MNUFile");
    EXPECT_EQ(menuForm().MNUFile().title(), "File");
}

TEST_F(MainWindowFixture, MenuFormStaysHiddenAndBringsTheStripForward)
{
    EXPECT_FALSE(main->isVisible());
    MenuForm &form = menuForm();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(form.windowTitle(), "Menu");
    EXPECT_EQ(form.size(), QSize(134, 8));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(MainWindowFixture, ClickOnTheMenuCornerPopsTheMenuUp)
{
    main->Show();
    EXPECT_FALSE(FormRegistry::instance().isLoaded(FormRegistry::nameOf<MenuForm>()));
    auto *corner = main->findChild<QWidget *>("MenuLBL");
    QTest::mouseClick(corner, Qt::LeftButton, {}, QPoint(4, 16));
    ASSERT_TRUE(FormRegistry::instance().isLoaded(FormRegistry::nameOf<MenuForm>()));
    QMenu &menu = menuForm().MNUFile();
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    menu.hide();
}

TEST_F(MainWindowFixture, SecretPlaceOpensOnlyForTheExactAccessCode)
{
    struct Row
    {
        const char *text;
        bool opens;
    };
    const Row rows[] = {
        { "zazoruroreziVAVE", false },
        { "ZAZORUROREZIVAVE ", false },
        { " ZAZORUROREZIVAVE", false },
        { "ZAZORUROREZIVAV", false },
        { "", false },
        { "ZAZORUROREZIVAVE", true },
    };
    main->Show();
    for (const Row &row : rows) {
        main->Data().setText(QString::fromLatin1(row.text));
        menuForm().findChild<QAction *>("MNUSecretPlace")->trigger();
        EXPECT_EQ(FormRegistry::instance().isLoaded(FormNames::Secret), row.opens) << row.text;
        EXPECT_EQ(main->isVisible(), !row.opens) << row.text;
        EXPECT_EQ(main->Data().text(), QString::fromLatin1(row.text)) << "the text stays";
    }
    EXPECT_TRUE(FormRegistry::instance().reach(FormNames::Secret).isVisible());
}

TEST_F(MainWindowFixture, CodeTypedBeforeOptionsIsStillCompared)
{
    main->Show();
    QTest::keyClicks(&main->Data(), "ZAZORUROREZIVAVE");
    command("MNUOptions")->trigger();
    command("MNUSecretPlace")->trigger();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(FormRegistry::instance().reach(FormNames::Secret).isVisible());
}

TEST_F(MainWindowFixture, QuickWindowTwiceShowsOneWindow)
{
    command("MNUQuickWindow")->trigger();
    QW *first = &FormRegistry::instance().reach<QW>();
    EXPECT_TRUE(first->isVisible());
    command("MNUQuickWindow")->trigger();
    EXPECT_EQ(&FormRegistry::instance().reach<QW>(), first);
    EXPECT_TRUE(first->isVisible());
    int shownQuickWindows = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        shownQuickWindows += qobject_cast<QW *>(window) && window->isVisible();
    EXPECT_EQ(shownQuickWindows, 1);
}

TEST_F(MainWindowFixture, AboutNamesTheProgramItsAuthorTheSpeechEngineAndTheKeys)
{
    QStringList boxes;
    MessageBox::answerWith(
        [&](const QString &prompt, const QString &title) { boxes << title << prompt; });
    command("MNUAbout")->trigger();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0], "About Vocalo");
    EXPECT_TRUE(
        boxes[1].startsWith("Vocalo 1.0\nBy Quillon\n\nSpeech: " + speechEngineDescription()));
    EXPECT_TRUE(boxes[1].contains(QRegularExpression("\n\nSpeech: Flite [0-9.]+, voice \\w+\n")))
        << qPrintable(boxes[1]);
    for (const char *key : { "Enter", "Esc", "Up", "Down", "Tab", "Right", "F10", "Quick Window" })
        EXPECT_TRUE(boxes[1].contains(QLatin1String(key))) << key;
}

TEST_F(MainWindowFixture, ExitAndClosingTheStripEndTheProcessAtOnceWithStatusZero)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(command("MNUExit")->trigger(), ::testing::ExitedWithCode(0), "");
    main->Show();
    EXPECT_EXIT(main->close(), ::testing::ExitedWithCode(0), "");
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secret.h"
#include "FormRegistry.h"
#include "MessageBox.h"

#include <QAccessible>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Box
{
    QString prompt;
    QString title;
    bool pageVisibleMeanwhile;
};

// The credits page in a registry of its own, next to a plain window standing in for the main
// window. Message boxes are answered at once and remembered.
class CreditsPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto &forms = FormRegistry::instance();
        forms.reset();
        forms.registerForm(FormNames::MainFRM, [] { return new Form; });
        forms.registerForm<Secret>();
        MessageBox::answerWith([this](const QString &prompt, const QString &title) {
            const bool visible = FormRegistry::instance().isLoaded(FormNames::Secret)
                && FormRegistry::instance().reach(FormNames::Secret).isVisible();
            boxes.push_back({ prompt, title, visible });
        });
    }
    void TearDown() override
    {
        MessageBox::answerWith({});
        FormRegistry::instance().reset();
    }

    // What the Secret Place command does once the access code matched.
    Secret &open()
    {
        auto &forms = FormRegistry::instance();
        forms.reach(FormNames::MainFRM).Hide();
        Form &page = forms.reach(FormNames::Secret);
        page.Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
        return static_cast<Secret &>(page);
    }

    Form &mainWindow() { return FormRegistry::instance().reach(FormNames::MainFRM); }

    std::vector<Box> boxes;
};

TEST_F(CreditsPage, GreetsWithTheBoxFirstThenShowsThePage)
{
    Secret &page = open();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "The Programmer.");
    EXPECT_EQ(boxes[0].title, "Secret Place");
    EXPECT_FALSE(boxes[0].pageVisibleMeanwhile);
    EXPECT_TRUE(page.isVisible());
}

TEST_F(CreditsPage, IsABorderlessPageOutOfTheTaskBarCentredOnTheScreen)
{
    Secret &page = open();
    const Qt::WindowFlags flags = page.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);

    const QSize client = TwipWindow::toPixelRect(0, 0, 1485, 1455).size();
    EXPECT_EQ(page.size(), client);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(page.pos(),
        QPoint(screen.x() + (screen.width() - client.width()) / 2,
            screen.y() + (screen.height() - client.height()) / 2));
}

TEST_F(CreditsPage, PictureIsStretchedOverTheWholePage)
{
    Secret &page = open();
    auto *image = page.findChild<QLabel *>("Image");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), TwipWindow::toPixelRect(0, -120, 1575, 1575));
    EXPECT_TRUE(image->hasScaledContents());
    EXPECT_EQ(image->pixmap().size(), QSize(334, 303));
    EXPECT_TRUE(image->geometry().contains(page.rect()));
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(image)->text(QAccessible::Name), "The Programmer.");
}

// Corners and middle of the page: the picture covers all of it.
class CreditsPageClick : public CreditsPage, public ::testing::WithParamInterface<QPoint>
{ };

TEST_P(CreditsPageClick, AnywhereHidesThePageAndShowsTheMainWindow)
{
    Secret &page = open();
    ASSERT_FALSE(mainWindow().isVisible());
    auto *image = page.findChild<QLabel *>("Image");
    QTest::mouseClick(image, Qt::LeftButton, {}, image->mapFrom(&page, GetParam()));
    EXPECT_TRUE(page.isHidden());
    EXPECT_TRUE(mainWindow().isVisible());
    // Hidden, not unloaded: it is kept for the next time.
    EXPECT_TRUE(FormRegistry::instance().isLoaded(FormNames::Secret));
}

INSTANTIATE_TEST_SUITE_P(PagePoints, CreditsPageClick,
    ::testing::Values(QPoint(0, 0), QPoint(98, 0), QPoint(0, 96), QPoint(98, 96), QPoint(49, 48)));

TEST_F(CreditsPage, ARightClickLeavesThePageUp)
{
    Secret &page = open();
    auto *image = page.findChild<QLabel *>("Image");
    QTest::mouseClick(image, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_TRUE(page.isVisible());
    EXPECT_FALSE(mainWindow().isVisible());
}

TEST_F(CreditsPage, ClosingThePageGoesBackToTheMainWindowAndKeepsItLoaded)
{
    Secret &page = open();
    EXPECT_FALSE(page.close());
    QTest::qWait(0);
    EXPECT_TRUE(page.isHidden());
    EXPECT_TRUE(mainWindow().isVisible());
    EXPECT_TRUE(FormRegistry::instance().isLoaded(FormNames::Secret));

    open();
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(CreditsPage, ASecondVisitShowsThePageWithoutTheBox)
{
    Secret &first = open();
    auto *image = first.findChild<QLabel *>("Image");
    QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_TRUE(mainWindow().isVisible());

    Secret &second = open();
    EXPECT_EQ(&second, &first);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(second.isVisible());
    EXPECT_FALSE(mainWindow().isVisible());
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The credits page on a real desktop: the real greeting box, what the window manager makes of
// the borderless page, and a real click on it.
#include "Application.h"
#include "Desktop.h"
#include "FormRegistry.h"
#include "Secret.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace desktop;

namespace {

// Stands in for the main window, which the page goes back to.
class MainStandIn : public Form
{
public:
    MainStandIn()
    {
        setWindowTitle("Main stand-in");
        resize(300, 40);
    }
};

class CreditsPageDesktop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Application::installFontSubstitutions();
        auto &forms = FormRegistry::instance();
        forms.reset();
        forms.registerForm(FormNames::MainFRM, [] { return new MainStandIn; });
        forms.registerForm<Secret>();
    }
    void TearDown() override { FormRegistry::instance().reset(); }
};

TEST_F(CreditsPageDesktop, BoxThenBorderlessPageThenARealClickGoesBack)
{
    auto &forms = FormRegistry::instance();
    Form &main = forms.reach(FormNames::MainFRM);
    main.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.Hide();

    // While the box is up the page must not be on screen; the box is answered as a person would.
    bool boxSeen = false;
    bool pageShownDuringBox = true;
    QTimer::singleShot(0, [&] {
        const auto box = findWindow("Secret Place");
        if (!box)
            return;
        boxSeen = true;
        pageShownDuringBox
            = forms.isLoaded(FormNames::Secret) && forms.reach(FormNames::Secret).isVisible();
        QWidget *boxWidget = QApplication::activeModalWidget();
        if (!boxWidget || !QTest::qWaitForWindowExposed(boxWidget))
            return;
        screenshot(*box, "credits-box");
        xdotool({ "windowactivate", "--sync", QString::number(*box) });
        waitUntil([&] { return boxWidget->isActiveWindow(); });
        xdotool({ "key", "Return" });
    });
    Form &page = forms.reach(FormNames::Secret);
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(pageShownDuringBox);
    page.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    ASSERT_TRUE(waitUntilPlaced(page));

    const WindowId id = page.winId();
    // Task bars list normal windows; a utility window (the first type a desktop reads; Qt adds
    // NORMAL after it only as a fallback) stays off them.
    const QStringList types = windowTypes(id);
    ASSERT_FALSE(types.isEmpty());
    EXPECT_EQ(types.first(), "_NET_WM_WINDOW_TYPE_UTILITY") << types.join(' ').toStdString();
    // Task bars that list every window but the ones asking not to be, leave it out too.
    EXPECT_TRUE(hasNetWmState(id, "_NET_WM_STATE_SKIP_TASKBAR"));
    const auto where = geometry(id);
    ASSERT_TRUE(where.has_value());
    EXPECT_TRUE(where->viewable);
    const QSize client = TwipWindow::toPixelRect(0, 0, 1485, 1455).size();
    EXPECT_EQ(where->width, client.width());
    EXPECT_EQ(where->height, client.height());
    // Centred, and no frame: the client area is where the window is.
    EXPECT_EQ(where->x, (1280 - client.width()) / 2);
    EXPECT_EQ(where->y, (1024 - client.height()) / 2);
    screenshot(id, "credits-page");

    // A corner of the page, far from the picture's middle.
    xdotool({ "mousemove", "--sync", QString::number(where->x + 2),
        QString::number(where->y + where->height - 3) });
    auto *image = page.findChild<QWidget *>("Image");
    ASSERT_TRUE(waitUntil([&] { return image->underMouse(); }));
    xdotool({ "click", "1" });
    EXPECT_TRUE(waitUntil([&] { return page.isHidden() && main.isVisible(); }));
    EXPECT_TRUE(waitUntil([&] { return !geometry(id)->viewable; }));

    // The window manager forgets the state of a withdrawn window; shown again, it asks again.
    page.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    EXPECT_TRUE(waitUntil([&] { return hasNetWmState(id, "_NET_WM_STATE_SKIP_TASKBAR"); }));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// Desktops without a window manager that carries out the EWMH move request: none at all
// (VOCALO_TEST_DESKTOP=bare) or one that knows no EWMH (twm). Dragging must still move the
// window, by our own hand, and keep-above and the slides must neither hang nor fail.
#include "Desktop.h"
#include "DraggableWindow.h"
#include "WindowTools.h"
#include "X11.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <xcb/xcb.h>

using namespace desktop;

namespace {

// Sets a property of 32-bit items through our own connection, as a window manager would.
void setProperty(
    xcb_window_t window, const char *name, xcb_atom_t type, const std::vector<uint32_t> &items)
{
    xcb_connection_t *x11 = X11::connection();
    xcb_change_property(x11, XCB_PROP_MODE_REPLACE, window, X11::internAtom(x11, name), type, 32,
        static_cast<uint32_t>(items.size()), items.data());
    xcb_flush(x11);
}

std::vector<uint32_t> atoms(const QStringList &names)
{
    std::vector<uint32_t> atoms;
    for (const QString &name : names)
        atoms.push_back(X11::internAtom(X11::connection(), qPrintable(name)));
    return atoms;
}

TEST(BareDesktop, DraggingMovesTheWindowByHandAndADropReleasesIt)
{
    DraggableWindow widget("#aa6633");
    widget.move(200, 150);
    showAndWait(widget);
    const WindowGeometry start = *geometry(widget.winId());
    pointer({ "mousemove", QString::number(start.x + 100), QString::number(start.y + 40) });
    pointer({ "mousedown", "1" });
    for (int i = 1; i <= 6; ++i)
        pointer({ "mousemove", QString::number(start.x + 100 + 10 * i),
            QString::number(start.y + 40 + 5 * i) });
    pointer({ "mouseup", "1" });
    EXPECT_TRUE(waitUntil([&] { return geometry(widget.winId())->x == start.x + 60; }, 3000))
        << "the window stayed at " << geometry(widget.winId())->x << ", started at " << start.x;
    EXPECT_EQ(geometry(widget.winId())->y, start.y + 30);
    EXPECT_EQ(widget.twips.top(), TwipWindow::toTwips(widget.y()));

    // Dropped: the pointer goes on alone, and a plain click leaves the window where it is.
    pointer({ "mousemove", "600", "700" });
    pointer({ "click", "1" });
    pointer({ "mousemove", "50", "40" });
    QTest::qWait(200);
    EXPECT_EQ(geometry(widget.winId())->x, start.x + 60);
    EXPECT_EQ(geometry(widget.winId())->y, start.y + 30);
}

TEST(BareDesktop, KeepAboveAndTheSlidesReturnAndLeaveTheWindowShown)
{
    QWidget widget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    widget.resize(120, 60);
    widget.move(300, 100);
    TwipWindow twips(&widget);
    showAndWait(widget);
    for (int i = 0; i < 3; ++i) {
        WindowTools::MakeTopmost(twips);
        QTest::qWait(50);
        WindowTools::MakeNotTopmost(twips);
        QTest::qWait(50);
    }
    WindowTools::MakeTopmost(twips);
    EXPECT_TRUE(widget.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(geometry(widget.winId())->viewable);

    WindowTools::SlideUpOut(twips);
    EXPECT_LT(twips.top(), -twips.width());
    twips.setTop(0);
    WindowTools::SlideDown(twips);
    EXPECT_GT(twips.top(), 7200);
    QTest::qWait(200);
    EXPECT_TRUE(geometry(widget.winId())->viewable);
    if (qEnvironmentVariable("VOCALO_TEST_DESKTOP") == "bare") {
        EXPECT_EQ(geometry(widget.winId())->y, TwipWindow::toPixels(twips.top()))
            << "nothing stands between the slide and the X server";
    }
}

// What the drag asks before it hands the move over: only a live window manager that lists the
// request is trusted with it. The properties are set by hand here, as a window manager would.
TEST(BareDesktop, TheMoveIsHandedOnlyToALiveWindowManagerThatListsIt)
{
    xcb_connection_t *x11 = X11::connection();
    ASSERT_TRUE(x11);
    ASSERT_FALSE(X11::windowManagerSupports(x11, "_NET_WM_MOVERESIZE"))
        << "this desktop's window manager carries out the move; run under a bare desktop";

    auto check = std::make_unique<QWidget>();
    const auto checkId = static_cast<uint32_t>(check->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11)).data->root;
    setProperty(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, { checkId });
    setProperty(checkId, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, { checkId });
    setProperty(
        root, "_NET_SUPPORTED", XCB_ATOM_ATOM, atoms({ "_NET_WM_STATE", "_NET_WM_STATE_ABOVE" }));
    EXPECT_FALSE(X11::windowManagerSupports(x11, "_NET_WM_MOVERESIZE")) << "not listed";
    EXPECT_TRUE(X11::windowManagerSupports(x11, "_NET_WM_STATE_ABOVE"));

    setProperty(
        root, "_NET_SUPPORTED", XCB_ATOM_ATOM, atoms({ "_NET_WM_STATE", "_NET_WM_MOVERESIZE" }));
    EXPECT_TRUE(X11::windowManagerSupports(x11, "_NET_WM_MOVERESIZE"));

    // The window manager has gone and left its list behind.
    check.reset();
    EXPECT_FALSE(X11::windowManagerSupports(x11, "_NET_WM_MOVERESIZE"));

    for (const char *name : { "_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK" })
        xcb_delete_property(x11, root, X11::internAtom(x11, name));
    xcb_flush(x11);
}

} // namespace

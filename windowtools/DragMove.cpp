// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTools.h"
#include "X11.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

namespace WindowTools {
namespace {

// Hands the move to the window manager as if it had begun at the press. Qt's own system move
// starts from where the pointer is now, so the window would lag behind the pointer by the
// distance it moved before the drag was recognised.
bool startX11WindowManagerMove(QWidget &window, QPoint pressPos)
{
    xcb_connection_t *connection = X11::connection();
    if (!connection || !window.windowHandle())
        return false;
    // Without a window manager that carries the move out, the window follows the pointer by
    // our own hand instead.
    if (!X11::windowManagerSupports(connection, "_NET_WM_MOVERESIZE"))
        return false;
    const xcb_atom_t moveResize = X11::internAtom(connection, "_NET_WM_MOVERESIZE");
    const qreal ratio = window.devicePixelRatioF();
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window.winId());
    message.type = moveResize;
    message.data.data32[0] = static_cast<uint32_t>(qRound(pressPos.x() * ratio));
    message.data.data32[1] = static_cast<uint32_t>(qRound(pressPos.y() * ratio));
    message.data.data32[2] = 8; // _NET_WM_MOVERESIZE_MOVE
    message.data.data32[3] = 1; // the left button
    message.data.data32[4] = 1; // asked for by an application
    // The window manager must grab the pointer itself.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_send_event(connection, false, screen->root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    return true;
}

bool startWindowManagerMove(QWidget &window, QPoint pressPos)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return startX11WindowManagerMove(window, pressPos);
    QWindow *handle = window.windowHandle();
    return handle && handle->startSystemMove();
}

// Follows one press of the mouse button until its release. The system move is only asked for
// once the pointer really moves: started on a plain click, a window manager such as openbox
// stays in move mode after the release and the window then hangs on the pointer.
class DragMoveSession : public QObject
{
public:
    explicit DragMoveSession(TwipWindow &window)
        : m_window(&window), m_pressPos(QCursor::pos()), m_windowStart(window.widget()->pos())
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove:
            onMove(static_cast<QMouseEvent *>(event));
            return false;
        case QEvent::MouseButtonRelease:
            finish();
            return false;
        default:
            return false;
        }
    }

private:
    void onMove(QMouseEvent *event)
    {
        if (!m_window || event->buttons() == Qt::NoButton) {
            finish();
            return;
        }
        const QPoint pointer = event->globalPosition().toPoint();
        if (pointer == m_pressPos)
            return;
        QWidget *widget = m_window->widget();
        if (!m_followingByHand) {
            if (startWindowManagerMove(*widget, m_pressPos)) {
                // The window manager has the pointer now; it ends the move on release.
                finish();
                return;
            }
            m_followingByHand = true;
        }
        widget->move(m_windowStart + (pointer - m_pressPos));
    }

    void finish()
    {
        QCoreApplication::instance()->removeEventFilter(this);
        if (m_window && m_followingByHand)
            m_window->setTop(TwipWindow::toTwips(m_window->widget()->y()));
        deleteLater();
    }

    QPointer<TwipWindow> m_window;
    QPoint m_pressPos;
    QPoint m_windowStart;
    bool m_followingByHand = false;
};

} // namespace

void BeginDragMove(TwipWindow &window)
{
    new DragMoveSession(window);
}

} // namespace WindowTools

// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTools.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

namespace WindowTools {
namespace {

// Follows one press of the mouse button until its release. The system move is only asked for
// once the pointer really moves: started on a plain click, a window manager such as openbox
// stays in move mode after the release and the window then hangs on the pointer.
class DragMoveSession : public QObject
{
public:
    explicit DragMoveSession(TwipWindow &window)
        : m_window(&window)
        , m_pressPos(QCursor::pos())
        , m_windowStart(window.widget()->pos())
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
            QWindow *handle = widget->windowHandle();
            if (handle && handle->startSystemMove()) {
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

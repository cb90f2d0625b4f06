#include "windowreshow.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Gives a window shown again the state and place it had, once the window
// manager has shown it: at its first exposure after the one that reports
// the hide (exposures still queued from before the hide come first, and
// too early). Goes then, or when the window is hidden again before that.
class StateKeeper : public QObject
{
public:
    StateKeeper(QWidget& window, Qt::WindowStates state, const QRect& geometry)
        : QObject(&window), m_window(window), m_state(state & ~Qt::WindowActive), m_geometry(geometry)
    {
        window.installEventFilter(this);
        window.windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        QWindow* handle = m_window.windowHandle();
        if (watched == &m_window && event->type() == QEvent::Hide) {
            leave();
        } else if (watched == handle && event->type() == QEvent::Expose) {
            if (!handle->isExposed()) {
                m_hidden = true;
            } else if (m_hidden) {
                restore();
                leave();
            }
        }
        return false;
    }

private:
    void restore()
    {
        if ((m_window.windowState() & ~Qt::WindowActive) != m_state)
            m_window.setWindowState(m_state);
        else if (m_state == Qt::WindowNoState && m_window.geometry() != m_geometry)
            m_window.setGeometry(m_geometry);
    }

    void leave()
    {
        m_window.removeEventFilter(this);
        if (QWindow* handle = m_window.windowHandle())
            handle->removeEventFilter(this);
        deleteLater();
    }

    QWidget& m_window;
    const Qt::WindowStates m_state;
    const QRect m_geometry;
    bool m_hidden = false;
};

} // namespace

void reshowKeepingState(QWidget& window)
{
    const bool shown = window.isVisible();
    const Qt::WindowStates state = window.windowState();
    const QRect geometry = window.geometry();
    window.setVisible(false);
    // Watching from before the show: the window may be exposed at once.
    if (shown)
        new StateKeeper(window, state, geometry);
    window.setVisible(true);
}

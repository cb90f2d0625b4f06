#include "windowclose.h"

#include <QApplication>
#include <QCloseEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Takes the window manager's close of a widget's window: the widget is
// closed as close() closes it (its close event, the hide, the application
// quitting after its last window, the delete on close), and nothing more
// happens to its native window.
class CloseAsWidget : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close || !watched->isWindowType())
            return false;
        QWidget* widget = widgetOf(static_cast<QWindow*>(watched));
        if (!widget)
            return false;
        event->setAccepted(widget->close());
        return true;
    }

private:
    static QWidget* widgetOf(const QWindow* window)
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* widget : windows) {
            if (widget->windowHandle() == window)
                return widget;
        }
        return nullptr;
    }
};

} // namespace

void keepNativeWindowsUntilDeleted(QApplication* app)
{
    app->installEventFilter(new CloseAsWidget(app));
}

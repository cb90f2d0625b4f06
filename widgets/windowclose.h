#pragma once

class QApplication;

// A window closed from its title bar (or by the window manager's key)
// keeps its native window until the window itself is deleted, as a window
// the client closes or hides does.
//
// Left to itself, Qt 5.15 destroys the native window of a widget as soon as
// the window manager's close is accepted, and keeps the widget. An entering
// pointer reported just before can still arrive afterwards: a box answered
// from the keyboard while the window lies under the pointer (its close
// question, 是 by its key) hands the window beneath an enter of its own,
// which Qt delivers only after the close. Qt then takes the widget's
// window, which has no native window any more, for the window under the
// pointer, and never lets go of it: forgetting it is part of destroying the
// native window, which has already happened. Once the client deletes the
// widget (a window that stayed for its records, or one deleted on close),
// the next modal box reads the deleted window and the client dies, as at
// quit after a batch stopped by its close. With the native window kept,
// Qt lets go of the window when the widget is deleted.
//
// Installed once, on the application, before its first window.
void keepNativeWindowsUntilDeleted(QApplication* app);

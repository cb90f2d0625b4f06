#pragma once

#include <QApplication>
#include <QList>
#include <QWidget>

// The application's top-level windows of one class, for tests that drive
// windows opened by other windows.
template <typename T>
QList<T*> topLevelWindows()
{
    QList<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(w))
            found.append(window);
    }
    return found;
}

// The first such window, or nullptr.
template <typename T>
T* topLevelWindow()
{
    const QList<T*> found = topLevelWindows<T>();
    return found.isEmpty() ? nullptr : found.first();
}

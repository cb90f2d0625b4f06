#pragma once

#include <QApplication>
#include <QFont>

// The font a studio's desktop gives its windows (9 points by default; the
// test platform's own is larger), for the rows that look at a window as
// staff see it. Windows made while it lives take it; the font before comes
// back when it goes.
class DesktopFont
{
public:
    explicit DesktopFont(int points = 9) : m_before(QApplication::font())
    {
        QFont desktop = m_before;
        desktop.setPointSize(points);
        QApplication::setFont(desktop);
    }
    ~DesktopFont() { QApplication::setFont(m_before); }
    DesktopFont(const DesktopFont&) = delete;
    DesktopFont& operator=(const DesktopFont&) = delete;

private:
    QFont m_before;
};

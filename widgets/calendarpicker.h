#pragma once

#include <QWidget>

namespace Ui {
class CalendarPicker;
}
class QCalendarWidget;
class QShortcut;

// A small top-level window in which the user picks one date for a date
// field of a desk. It reports the date as "yyyy-MM-dd", or an empty text
// for "清除", and closes; closed by its title bar it reports nothing. Every
// picker starts on today. A year typed into the calendar's year box moves
// the picked date to that year once it is confirmed; Return in the year box
// confirms the year and nothing else.
class CalendarPicker : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarPicker(QWidget* parent = nullptr);
    ~CalendarPicker() override;

    // Every calendar of the client: a year typed into the calendar's year
    // box becomes the year of its selected date once it is confirmed
    // (Return or Enter in the box, a click elsewhere, commitTypedYear); a
    // year put back with Escape changes nothing, and moving through the
    // months keeps the selection. Return or Enter in the box goes no
    // further, so it neither presses the window's default button nor
    // triggers a shortcut of the window.
    static void takeTypedYear(QCalendarWidget* calendar);
    // Confirms a year still being typed in the calendar's year box, as
    // Return there would; nothing while the box is closed. Called before
    // the selected date is read.
    static void commitTypedYear(QCalendarWidget* calendar);

signals:
    void urgentDate(QString date);

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    Ui::CalendarPicker* ui;
    QShortcut* m_returnShortcut;
};

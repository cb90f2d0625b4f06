#pragma once

#include <QWidget>

namespace Ui {
class CalendarPicker;
}
class QCalendarWidget;
class QShortcut;
class QSpinBox;

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

    // Return or Enter in the calendar's year box makes the typed year the
    // year of the calendar's selected date and closes the box; the key goes
    // no further, so it neither presses the window's default button nor
    // triggers a shortcut of the window.
    static void takeYearOnEnter(QCalendarWidget* calendar);

signals:
    void urgentDate(QString date);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    Ui::CalendarPicker* ui;
    QShortcut* m_returnShortcut;
    // The calendar's year box, and its year when it was opened.
    QSpinBox* m_yearBox = nullptr;
    int m_yearAtOpen = 0;
};

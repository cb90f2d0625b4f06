#pragma once

#include <QWidget>

namespace Ui {
class CalendarPicker;
}
class QShortcut;

// A small top-level window in which the user picks one date for a date
// field of a desk. It reports the date as "yyyy-MM-dd", or an empty text
// for "清除", and closes; closed by its title bar it reports nothing. Every
// picker starts on today.
class CalendarPicker : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarPicker(QWidget* parent = nullptr);
    ~CalendarPicker() override;

signals:
    void urgentDate(QString date);

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    Ui::CalendarPicker* ui;
    QShortcut* m_returnShortcut;
};

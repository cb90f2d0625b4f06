#include "calendarpicker.h"

#include "clock.h"
#include "ui_calendarpicker.h"

#include <QShortcut>

CalendarPicker::CalendarPicker(QWidget* parent) : QWidget(parent), ui(new Ui::CalendarPicker)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("日历"));
    // Today by the one clock the client's dates come from, so a test can fix it.
    ui->calendarWidget->setSelectedDate(Clock::today());
    m_returnShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    m_returnShortcut->setContext(Qt::WindowShortcut);
    connect(m_returnShortcut, &QShortcut::activated, this, &CalendarPicker::on_pushButton_clicked);
}

CalendarPicker::~CalendarPicker()
{
    delete ui;
}

void CalendarPicker::on_pushButton_clicked()
{
    emit urgentDate(ui->calendarWidget->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    close();
}

void CalendarPicker::on_pushButton_2_clicked()
{
    emit urgentDate(QString());
    close();
}

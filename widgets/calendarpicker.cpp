#include "calendarpicker.h"

#include "clock.h"
#include "ui_calendarpicker.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QSpinBox>

namespace {

// Keeps Return and Enter in a calendar's year box: see
// CalendarPicker::takeYearOnEnter. It lives as long as the box.
class YearEnter : public QObject
{
public:
    YearEnter(QCalendarWidget* calendar, QSpinBox* yearBox)
        : QObject(yearBox), m_calendar(calendar), m_yearBox(yearBox)
    {
        yearBox->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (watched != m_yearBox || !key)
            return false;
        const int pressed = static_cast<QKeyEvent*>(event)->key();
        if (pressed != Qt::Key_Return && pressed != Qt::Key_Enter)
            return false;
        // Taken before any shortcut of the window sees it, and never passed
        // on to the window's default button.
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            m_yearBox->interpretText();
            const QDate date = m_calendar->selectedDate();
            m_calendar->setSelectedDate(date.addYears(m_yearBox->value() - date.year()));
            emit m_yearBox->editingFinished(); // the calendar closes the box
        }
        return true;
    }

private:
    QCalendarWidget* m_calendar;
    QSpinBox* m_yearBox;
};

} // namespace

CalendarPicker::CalendarPicker(QWidget* parent) : QWidget(parent), ui(new Ui::CalendarPicker)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("日历"));
    // Today by the one clock the client's dates come from, so a test can fix it.
    ui->calendarWidget->setSelectedDate(Clock::today());
    m_returnShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    m_returnShortcut->setContext(Qt::WindowShortcut);
    connect(m_returnShortcut, &QShortcut::activated, this, &CalendarPicker::on_pushButton_clicked);
    // The calendar's own year box only turns the page; here a year typed
    // into it is the year of the date picked.
    m_yearBox = ui->calendarWidget->findChild<QSpinBox*>();
    if (m_yearBox)
        m_yearBox->installEventFilter(this);
    takeYearOnEnter(ui->calendarWidget);
}

void CalendarPicker::takeYearOnEnter(QCalendarWidget* calendar)
{
    if (auto* yearBox = calendar->findChild<QSpinBox*>())
        new YearEnter(calendar, yearBox);
}

CalendarPicker::~CalendarPicker()
{
    delete ui;
}

bool CalendarPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_yearBox && event->type() == QEvent::Show) {
        m_yearAtOpen = m_yearBox->value();
    } else if (watched == m_yearBox && event->type() == QEvent::Hide && m_yearBox->value() != m_yearAtOpen) {
        // The year box closes once its year is confirmed (Return in it, a
        // click elsewhere); a year put back with Escape changes nothing.
        const QDate date = ui->calendarWidget->selectedDate();
        ui->calendarWidget->setSelectedDate(date.addYears(m_yearBox->value() - date.year()));
    }
    return QWidget::eventFilter(watched, event);
}

void CalendarPicker::on_pushButton_clicked()
{
    // Return and 确认 confirm a year still being typed before the date is taken.
    if (m_yearBox && m_yearBox->isVisible()) {
        m_yearBox->interpretText();
        emit m_yearBox->editingFinished();
    }
    emit urgentDate(ui->calendarWidget->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    close();
}

void CalendarPicker::on_pushButton_2_clicked()
{
    emit urgentDate(QString());
    close();
}

#include "calendarpicker.h"

#include "clock.h"
#include "ui_calendarpicker.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QSpinBox>

namespace {

// Takes a year typed into a calendar's year box: see
// CalendarPicker::takeTypedYear. It lives as long as the box.
class TypedYear : public QObject
{
public:
    TypedYear(QCalendarWidget* calendar, QSpinBox* yearBox)
        : QObject(yearBox), m_calendar(calendar), m_yearBox(yearBox)
    {
        yearBox->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_yearBox)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            m_yearAtOpen = m_yearBox->value();
            return false;
        case QEvent::Hide:
            // The box closes once its year is confirmed (Return in it, a
            // click elsewhere, commitTypedYear); a year put back with
            // Escape changes nothing.
            if (m_yearBox->value() != m_yearAtOpen) {
                const QDate date = m_calendar->selectedDate();
                m_calendar->setSelectedDate(date.addYears(m_yearBox->value() - date.year()));
            }
            return false;
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride: {
            const int pressed = static_cast<QKeyEvent*>(event)->key();
            if (pressed != Qt::Key_Return && pressed != Qt::Key_Enter)
                return false;
            // Taken before any shortcut of the window sees it, and never
            // passed on to the window's default button.
            event->accept();
            if (event->type() == QEvent::KeyPress)
                CalendarPicker::commitTypedYear(m_calendar);
            return true;
        }
        default:
            return false;
        }
    }

private:
    QCalendarWidget* m_calendar;
    QSpinBox* m_yearBox;
    int m_yearAtOpen = 0;
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
    takeTypedYear(ui->calendarWidget);
}

void CalendarPicker::takeTypedYear(QCalendarWidget* calendar)
{
    if (auto* yearBox = calendar->findChild<QSpinBox*>())
        new TypedYear(calendar, yearBox);
}

void CalendarPicker::commitTypedYear(QCalendarWidget* calendar)
{
    auto* yearBox = calendar->findChild<QSpinBox*>();
    if (!yearBox || !yearBox->isVisible())
        return;
    yearBox->interpretText();
    emit yearBox->editingFinished(); // the calendar closes the box
}

CalendarPicker::~CalendarPicker()
{
    delete ui;
}

void CalendarPicker::on_pushButton_clicked()
{
    // Return and 确认 confirm a year still being typed before the date is taken.
    commitTypedYear(ui->calendarWidget);
    emit urgentDate(ui->calendarWidget->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    close();
}

void CalendarPicker::on_pushButton_2_clicked()
{
    emit urgentDate(QString());
    close();
}

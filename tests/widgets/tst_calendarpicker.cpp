#include "calendarpicker.h"
#include "clock.h"

#include <QtTest>

#include <QCalendarWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

// The date picker of the desks: what it reports and when it closes.
class TestCalendarPicker : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::setFixed(QDateTime()); }
    void formAndTitle();
    void answers_data();
    void answers();
    void twoPickersAreIndependent();
    void typedYearIsTaken_data();
    void typedYearIsTaken();
};

void TestCalendarPicker::formAndTitle()
{
    CalendarPicker picker;
    QCOMPARE(picker.windowTitle(), QStringLiteral("日历"));
    QCOMPARE(picker.minimumSize(), QSize(375, 243));
    QCOMPARE(picker.maximumSize(), QSize(375, 243));
    QCOMPARE(picker.findChild<QPushButton*>("pushButton")->text(), QStringLiteral("确认"));
    QCOMPARE(picker.findChild<QPushButton*>("pushButton_2")->text(), QStringLiteral("清除"));
}

void TestCalendarPicker::answers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("emitted");
    QTest::newRow("Return on today") << "return" << QStringList{"2024-03-07"};
    QTest::newRow("确认 on a picked day") << "pick" << QStringList{"2024-02-29"};
    QTest::newRow("清除") << "clear" << QStringList{""};
    QTest::newRow("title-bar close") << "close" << QStringList{};
}

void TestCalendarPicker::answers()
{
    QFETCH(QString, action);
    QFETCH(QStringList, emitted);
    Clock::setFixed(QDateTime(QDate(2024, 3, 7), QTime(9, 30)));

    auto* picker = new CalendarPicker;
    picker->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<CalendarPicker> alive(picker);
    QSignalSpy spy(picker, &CalendarPicker::urgentDate);
    picker->show();
    QVERIFY(QTest::qWaitForWindowActive(picker));

    if (action == "return") {
        QTest::keyClick(picker, Qt::Key_Return);
    } else if (action == "pick") {
        picker->findChild<QCalendarWidget*>()->setSelectedDate(QDate(2024, 2, 29));
        QTest::mouseClick(picker->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    } else if (action == "clear") {
        QTest::mouseClick(picker->findChild<QPushButton*>("pushButton_2"), Qt::LeftButton);
    } else {
        picker->close();
    }
    QTRY_VERIFY(alive.isNull());
    QStringList texts;
    for (const auto& args : spy)
        texts.append(args.first().toString());
    QCOMPARE(texts, emitted);
}

void TestCalendarPicker::twoPickersAreIndependent()
{
    CalendarPicker first;
    CalendarPicker second;
    QSignalSpy firstSpy(&first, &CalendarPicker::urgentDate);
    QSignalSpy secondSpy(&second, &CalendarPicker::urgentDate);
    second.findChild<QCalendarWidget*>()->setSelectedDate(QDate(2023, 12, 31));
    QTest::mouseClick(second.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 1);
    QCOMPARE(secondSpy.first().first().toString(), QStringLiteral("2023-12-31"));
}

void TestCalendarPicker::typedYearIsTaken_data()
{
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("emitted");
    QTest::newRow("taken with Return in the box, then Return") << "return"
                                                               << "2024-12-07";
    QTest::newRow("confirmed with 确认") << "ok"
                                         << "2024-12-07";
    QTest::newRow("put back with Escape") << "escape"
                                          << "2026-12-07";
}

void TestCalendarPicker::typedYearIsTaken()
{
    QFETCH(QString, then);
    QFETCH(QString, emitted);
    Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(9, 30)));
    CalendarPicker picker;
    QSignalSpy spy(&picker, &CalendarPicker::urgentDate);
    picker.show();
    QVERIFY(QTest::qWaitForWindowActive(&picker));

    // The year in the calendar's title opens a box to type a year into.
    auto* yearButton = picker.findChild<QToolButton*>("qt_calendar_yearbutton");
    QCOMPARE(yearButton->text(), QStringLiteral("2026"));
    QTest::mouseClick(yearButton, Qt::LeftButton);
    auto* yearBox = picker.findChild<QSpinBox*>();
    QTRY_VERIFY(yearBox && yearBox->isVisible());
    yearBox->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "2024");
    if (then == "return") {
        // Return in the year box takes the year and goes no further.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(spy.count(), 0);
        QVERIFY(picker.isVisible() && !yearBox->isVisible());
        QCOMPARE(picker.findChild<QCalendarWidget*>()->selectedDate(), QDate(2024, 12, 7));
        QTest::keyClick(&picker, Qt::Key_Return);
    } else {
        if (then == "escape")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::mouseClick(picker.findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toString(), emitted);
}

QTEST_MAIN(TestCalendarPicker)
#include "tst_calendarpicker.moc"

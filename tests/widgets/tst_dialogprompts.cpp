#include "dialogprompts.h"

#include <QtTest>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

class TestDialogPrompts : public QObject
{
    Q_OBJECT

private slots:
    void longNoticeFitsItsScreen_data();
    void longNoticeFitsItsScreen();
};

void TestDialogPrompts::longNoticeFitsItsScreen_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<bool>("openDetails");
    QTest::addColumn<bool>("cut");
    // Each line wraps: more than a screen even after the 20-line cut.
    QTest::newRow("40 lines of about 100 characters") << 40 << 100 << 20 << false << true;
    QTest::newRow("15 wrapping lines, no cut of their own") << 15 << 300 << 20 << false << true;
    QTest::newRow("three short lines") << 3 << 30 << 20 << false << false;
    // Opening the details grows the box by their pane.
    QTest::newRow("40 lines, details opened") << 40 << 100 << 20 << true << true;
    // A box that skips the line cut, as the end box of a long batch does.
    QTest::newRow("2000 short lines, no line cut") << 2000 << 40 << 0 << false << true;
}

void TestDialogPrompts::longNoticeFitsItsScreen()
{
    QFETCH(int, lines);
    QFETCH(int, lineLength);
    QFETCH(int, maxLines);
    QFETCH(bool, openDetails);
    QFETCH(bool, cut);
    QStringList text;
    for (int i = 1; i <= lines; ++i)
        text.append(QStringLiteral("拷贝原图照片未成功，照片名：/Volumes/share/%1/").arg(i) +
                    QString(lineLength - 30, QLatin1Char('x')));
    const QString whole = text.join(QLatin1Char('\n'));

    DialogPrompts prompts;
    Prompts::install(&prompts);
    QRect frame;
    QRect area;
    QRect screenArea;
    QRect button;
    QRect paneArea;
    QString shown;
    QString details;
    // Reads the box once it is open; goes before the locals it writes to.
    QObject reader;
    QTimer::singleShot(0, &reader, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        if (openDetails) {
            const QList<QAbstractButton*> buttons = box->buttons();
            const auto details = std::find_if(buttons.begin(), buttons.end(), [box](QAbstractButton* b) {
                return box->buttonRole(b) == QMessageBox::ActionRole;
            });
            QVERIFY(details != buttons.end());
            (*details)->click();
            const QTextEdit* pane = box->findChild<QTextEdit*>();
            if (pane && pane->isVisible())
                paneArea = QRect(pane->mapToGlobal(QPoint(0, 0)), pane->size());
        }
        frame = box->frameGeometry();
        area = box->screen()->availableGeometry();
        screenArea = box->screen()->geometry();
        QAbstractButton* yes = box->defaultButton();
        QVERIFY(yes);
        QCOMPARE(box->standardButton(yes), QMessageBox::Yes);
        button = QRect(yes->mapToGlobal(QPoint(0, 0)), yes->size());
        shown = box->text();
        details = box->detailedText();
        yes->click();
    });
    Prompts::longNotice(QStringLiteral("提示"), whole, nullptr, maxLines);
    Prompts::install(nullptr);

    QVERIFY(area.isValid() && screenArea.contains(area));
    QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                  .arg(frame.x())
                                                  .arg(frame.y())
                                                  .arg(frame.width())
                                                  .arg(frame.height())
                                                  .arg(area.width())
                                                  .arg(area.height())));
    QVERIFY(frame.contains(button));
    QCOMPARE(area.contains(paneArea), openDetails);
    if (!cut) {
        QCOMPARE(shown, whole);
        QVERIFY(details.isEmpty());
        return;
    }
    QCOMPARE(details, whole);
    QVERIFY(shown.endsWith(QStringLiteral("\n…")));
    const QStringList kept = shown.split(QLatin1Char('\n'));
    QVERIFY(kept.size() > 2 && kept.size() <= (maxLines > 0 ? qMin(lines, maxLines) + 1 : lines));
    QCOMPARE(kept.mid(0, kept.size() - 1), text.mid(0, kept.size() - 1));
}

QTEST_MAIN(TestDialogPrompts)
#include "tst_dialogprompts.moc"

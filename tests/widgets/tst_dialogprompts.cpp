#include "dialogprompts.h"
#include "importbookkeeping.h"
#include "n8export.h"

#include <QtTest>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QWindow>

#include <algorithm>

namespace {

// Where a box stands, for a failure's message.
QString placement(const QRect& frame, const QRect& area)
{
    return QStringLiteral("%1,%2 %3x%4 in %5x%6")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height())
        .arg(area.width())
        .arg(area.height());
}

// A box as it stood once the window manager had framed it and it was fitted
// again for the frame.
struct FramedBox
{
    QRect frame;
    QRect geometry;
    QRect area;
    QString text;
    QString details;
    QList<QRect> buttons; // an empty one: a button not shown
    bool settled = false; // false: read as the wait gave up
};

// Opens a warning box of this text and reads it once it is framed, at the
// size it laid itself out to (the window manager may first report the size
// the window was made with), within the area and with each of its buttons
// shown, or once that wait gives up.
FramedBox openFramed(const QString& text, const QString& title = QStringLiteral("警告"))
{
    Prompts::Message message;
    message.icon = Prompts::Icon::Warning;
    message.title = title;
    message.text = text;
    FramedBox read;
    // Goes before the locals it writes to.
    QObject reader;
    QTimer::singleShot(0, &reader, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        const auto settled = [box] {
            const QMargins margins = box->windowHandle()->frameMargins();
            const QRect frame = box->windowHandle()->frameGeometry();
            const QList<QAbstractButton*> buttons = box->buttons();
            return margins.top() > 0 && margins.left() >= 0 && margins.right() >= 0 &&
                   margins.bottom() >= 0 && box->size() == box->maximumSize() &&
                   box->screen()->availableGeometry().contains(frame) &&
                   std::all_of(buttons.begin(), buttons.end(),
                               [](QAbstractButton* b) { return b->isVisible(); });
        };
        read.settled = QTest::qWaitFor(settled, 20000);
        read.frame = box->windowHandle()->frameGeometry();
        read.geometry = box->geometry();
        read.area = box->screen()->availableGeometry();
        read.text = box->text();
        read.details = box->detailedText();
        for (QAbstractButton* b : box->buttons())
            read.buttons.append(b->isVisible() ? QRect(b->mapToGlobal(QPoint(0, 0)), b->size()) : QRect());
        box->done(QDialog::Rejected);
    });
    DialogPrompts prompts;
    prompts.message(message);
    return read;
}

// The failure box of a batch whose records of these many orders were refused.
QString refusedRecords(int orders)
{
    QStringList lines{QStringLiteral("以下订单上报失败：")};
    for (int i = 1; i <= orders; ++i)
        lines.append(QStringLiteral("A2405%1：网络错误").arg(i, 4, 10, QLatin1Char('0')));
    lines.append(QStringLiteral("订单已移出列表，以上订单的记录不再上报，请核对照片数量"));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestDialogPrompts : public QObject
{
    Q_OBJECT

private slots:
    void longNoticeFitsItsScreen_data();
    void longNoticeFitsItsScreen();
    void richTextScrollsOnItsScreen_data();
    void richTextScrollsOnItsScreen();
    void boxCutForItsFrameKeepsItsText();
    void boxCutAtItsSideKeepsItsText();
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
    QVERIFY2(area.contains(frame), qPrintable(placement(frame, area)));
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
    // The first lines, each whole or ended with "…" where the box's side cuts it.
    for (int i = 0; i + 1 < kept.size(); ++i) {
        const QString& line = kept.at(i);
        QVERIFY2(line == text.at(i) ||
                     (line.endsWith(QChar(0x2026)) && text.at(i).startsWith(line.chopped(1))),
                 qPrintable(line));
    }
}

void TestDialogPrompts::richTextScrollsOnItsScreen_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");

    QStringList clips;
    for (int i = 1; i <= 24; ++i)
        clips.append(QStringLiteral("A24051201-试拍-%1.mp4").arg(i, 2, 10, QLatin1Char('0')));
    QTest::newRow("a video-list question of 24 clips")
        << QStringLiteral("提示")
        << ImportBookkeeping::videoUpdateQuestion(ImportTrialVideo,
                                                  QStringLiteral("/Volumes/share/A24051201/试拍视频/"), clips)
        << int(Prompts::Yes | Prompts::No) << int(Prompts::No);

    // The N8 export's report, as its worker writes it: the header, then the
    // line of each exported order.
    QString report = N8Export::reportHeader();
    for (int i = 1; i <= 40; ++i)
        report += N8Export::reportLine(N8Export::Line::Complete,
                                       QStringLiteral("K2405%1").arg(i, 4, 10, QLatin1Char('0')),
                                       QString::number(i % 3 + 1));
    QTest::newRow("a result box of 40 orders")
        << QStringLiteral("温馨提示") << report << int(Prompts::Yes) << int(Prompts::Yes);
}

void TestDialogPrompts::richTextScrollsOnItsScreen()
{
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    Prompts::Message message;
    message.title = title;
    message.text = text;
    message.richText = true;
    message.buttons = Prompts::StandardButtons(buttons);
    message.defaultButton = Prompts::StandardButton(defaultButton);

    QRect frame;
    QRect area;
    QList<QRect> buttonAreas;
    QString shown;
    int lastLineBottom = -1; // in the text's viewport, scrolled to the end
    int viewportHeight = 0;
    // Reads the box once it is open, then answers it; goes before the
    // locals it writes to, and is checked once the box is closed.
    QObject reader;
    QTimer::singleShot(0, &reader, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        frame = box->frameGeometry();
        area = box->screen()->availableGeometry();
        for (QAbstractButton* b : box->buttons())
            buttonAreas.append(b->isVisible() ? QRect(b->mapToGlobal(QPoint(0, 0)), b->size()) : QRect());
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        auto* scroll = box->findChild<QAbstractScrollArea*>();
        if (label && scroll) {
            shown = label->text();
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
            viewportHeight = scroll->viewport()->height();
            lastLineBottom = label->mapTo(scroll->viewport(), QPoint(0, label->height())).y();
        }
        box->done(QDialog::Rejected);
    });
    DialogPrompts prompts;
    prompts.message(message);

    QVERIFY(area.isValid());
    QVERIFY2(area.contains(frame), qPrintable(placement(frame, area)));
    QCOMPARE(buttonAreas.size(), int(qPopulationCount(quint32(buttons))));
    for (const QRect& b : qAsConst(buttonAreas))
        QVERIFY(!b.isEmpty() && frame.contains(b));
    QCOMPARE(shown, text);
    QVERIFY2(lastLineBottom > 0 && lastLineBottom <= viewportHeight,
             qPrintable(QStringLiteral("%1 in %2").arg(lastLineBottom).arg(viewportHeight)));
}

void TestDialogPrompts::boxCutForItsFrameKeepsItsText()
{
    if (!qEnvironmentVariableIsSet("DRAVIN_TEST_WM_PID"))
        QSKIP("needs a window manager: run by tests/support/runwithwm.sh");
    // Lines well lower than the window manager's title bar, whatever the
    // fonts, so that some count of them fits the area only without it.
    const QFont font = QApplication::font();
    const auto restoreFont = qScopeGuard([font] { QApplication::setFont(font); });
    QFont small = font;
    small.setPixelSize(10);
    QApplication::setFont(small);
    // The frame and the height of an order's line, from two boxes that fit.
    const FramedBox ten = openFramed(refusedRecords(10));
    const FramedBox twenty = openFramed(refusedRecords(20));
    QVERIFY2(ten.settled, qPrintable(placement(ten.frame, ten.area)));
    QVERIFY2(twenty.settled, qPrintable(placement(twenty.frame, twenty.area)));
    QVERIFY(ten.details.isEmpty() && twenty.details.isEmpty());
    const int frameHeight = ten.frame.height() - ten.geometry.height();
    const int lineHeight = (twenty.geometry.height() - ten.geometry.height()) / 10;
    QVERIFY(lineHeight > 0);
    // As many orders as the area holds without the frame: with it, too many.
    const int orders = 10 + (ten.area.height() - ten.geometry.height()) / lineHeight;
    const int height = ten.geometry.height() + (orders - 10) * lineHeight;
    QVERIFY2(
        height + frameHeight > ten.area.height(),
        qPrintable(
            QStringLiteral("a frame of %1 is no taller than a line of %2").arg(frameHeight).arg(lineHeight)));

    const QString whole = refusedRecords(orders);
    const FramedBox cut = openFramed(whole);
    QVERIFY2(cut.area.contains(cut.frame), qPrintable(placement(cut.frame, cut.area)));
    QVERIFY(cut.text.endsWith(QStringLiteral("\n…")));
    QVERIFY(whole.startsWith(cut.text.chopped(1)));
    QCOMPARE(cut.details, whole);
    QCOMPARE(cut.buttons.size(), 2);
    for (const QRect& b : qAsConst(cut.buttons))
        QVERIFY2(!b.isEmpty() && cut.frame.contains(b), qPrintable(placement(b, cut.area)));
}

// A line with no place to wrap: the orders added again, joined by ",".
void TestDialogPrompts::boxCutAtItsSideKeepsItsText()
{
    if (!qEnvironmentVariableIsSet("DRAVIN_TEST_WM_PID"))
        QSKIP("needs a window manager: run by tests/support/runwithwm.sh");
    QStringList names;
    for (int i = 1; i <= 30; ++i)
        names.append(QStringLiteral("A240515%1-1").arg(i, 2, 10, QLatin1Char('0')));
    const QString whole = QStringLiteral("已经添加过订单：\n") + names.join(QLatin1Char(','));
    const FramedBox cut = openFramed(whole, QStringLiteral("订单已存在"));
    QVERIFY2(cut.settled, qPrintable(placement(cut.frame, cut.area)));
    QVERIFY2(cut.area.contains(cut.frame), qPrintable(placement(cut.frame, cut.area)));
    QVERIFY2(cut.text.endsWith(QChar(0x2026)) && whole.startsWith(cut.text.chopped(1)), qPrintable(cut.text));
    QCOMPARE(cut.details, whole);
    QCOMPARE(cut.buttons.size(), 2);
    for (const QRect& b : qAsConst(cut.buttons))
        QVERIFY2(!b.isEmpty() && cut.frame.contains(b), qPrintable(placement(b, cut.area)));
}

QTEST_MAIN(TestDialogPrompts)
#include "tst_dialogprompts.moc"

#include "alertcontroldialog.h"

#include <QtTest>

#include <QPushButton>
#include <QTextEdit>

class TestAlertControlDialog : public QObject
{
    Q_OBJECT

private slots:
    void textsStandAfterAnEmptyLine();
    void clearEmptiesAndStartsAgain();
};

namespace {
QTextEdit* textArea(AlertControlDialog& dialog)
{
    auto* edit = dialog.findChild<QTextEdit*>(QStringLiteral("textEdit"));
    Q_ASSERT(edit);
    return edit;
}
} // namespace

void TestAlertControlDialog::textsStandAfterAnEmptyLine()
{
    AlertControlDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    dialog.slt_apptxt(QStringLiteral("第一行"));
    dialog.slt_apptxt2(QStringLiteral("second"));
    dialog.setAppTxt(QStringLiteral("third"));

    const QStringList lines = textArea(dialog)->toPlainText().split(QLatin1Char('\n'));
    // Each text on its own line, in order, with only empty lines before it.
    QStringList texts;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty())
            continue;
        QVERIFY2(i > 0 && lines.at(i - 1).isEmpty(), qPrintable(lines.join(QLatin1Char('|'))));
        texts.append(lines.at(i));
    }
    QCOMPARE(texts,
             QStringList({QStringLiteral("第一行"), QStringLiteral("second"), QStringLiteral("third")}));
}

void TestAlertControlDialog::clearEmptiesAndStartsAgain()
{
    AlertControlDialog dialog;
    dialog.slt_apptxt(QStringLiteral("old"));
    const QString oneText = textArea(dialog)->toPlainText();

    auto* clear = dialog.findChild<QPushButton*>(QStringLiteral("pushButton"));
    QVERIFY(clear);
    QCOMPARE(clear->text(), QStringLiteral("清空"));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(textArea(dialog)->toPlainText(), QString());

    dialog.slt_apptxt(QStringLiteral("new"));
    QString expected = oneText;
    expected.replace(QStringLiteral("old"), QStringLiteral("new"));
    QCOMPARE(textArea(dialog)->toPlainText(), expected);
    QVERIFY(expected.startsWith(QLatin1Char('\n')));
}

QTEST_MAIN(TestAlertControlDialog)
#include "tst_alertcontroldialog.moc"

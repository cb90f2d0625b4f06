#include "fileoperation.h"
#include "messageboxdialog.h"
#include "scriptedprompts.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

class TestMessageBoxDialog : public QObject
{
    Q_OBJECT

private slots:
    // A row's fault hook never reaches the next row, however the row ends.
    void cleanup() { FileOperation::setFaultHook(nullptr); }

    void emptyReportShowsSuccessNote();
    void saveWritesTheReportExactly_data();
    void saveWritesTheReportExactly();
    void cancelledSaveClosesWithoutWriting();
    void failedWriteIsReportedAndBoxStaysOpen_data();
    void failedWriteIsReportedAndBoxStaysOpen();
};

namespace {
template <typename T> T* child(QWidget& parent, const char* name)
{
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT(w);
    return w;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}
} // namespace

void TestMessageBoxDialog::emptyReportShowsSuccessNote()
{
    ScriptedPrompts prompts;
    MessageBoxDialog box;
    box.setText(QString(), QStringLiteral("/tmp/分件结果.txt"));
    box.show();
    QCOMPARE(box.windowTitle(), QStringLiteral("提示:   分件成功!"));

    auto* text = child<QTextEdit>(box, "textEdit");
    QCOMPARE(text->toPlainText(), QStringLiteral("分件成功!"));
    QCOMPARE(text->minimumHeight(), 120);
    QCOMPARE(text->maximumHeight(), 120);
    QVERIFY(!child<QPushButton>(box, "pushButton_save")->isVisible());
    auto* close = child<QPushButton>(box, "pushButton_close");
    QCOMPARE(close->text(), QStringLiteral("确认"));

    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!box.isVisible());
    QVERIFY(prompts.calls().isEmpty());
}

void TestMessageBoxDialog::saveWritesTheReportExactly_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QByteArray>("existing"); // empty: no file before
    QTest::newRow("new file") << QStringLiteral("订单A001:\n空产品:相册\n\n") << QByteArray();
    QTest::newRow("overwrites a longer file")
        << QStringLiteral("订单B2:\n不存在的照片:a.jpg、b.jpg\n\n") << QByteArray(4096, 'x');
    QTest::newRow("line ends unchanged") << QStringLiteral("订单C3:\r\n空产品:x\n\r\n") << QByteArray("old");
}

void TestMessageBoxDialog::saveWritesTheReportExactly()
{
    QFETCH(QString, report);
    QFETCH(QByteArray, existing);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString proposed = dir.filePath(QStringLiteral("2024-05-01/A001分件结果.txt"));
    const QString target = dir.filePath(QStringLiteral("分件结果.txt"));
    if (!existing.isEmpty())
        QVERIFY(writeAll(target, existing));

    ScriptedPrompts prompts;
    prompts.setNextPath(target);
    MessageBoxDialog box;
    box.setText(report, proposed);
    box.show();
    QVERIFY(child<QPushButton>(box, "pushButton_save")->isVisible());
    QTest::mouseClick(child<QPushButton>(box, "pushButton_save"), Qt::LeftButton);

    QCOMPARE(prompts.calls().size(), 1);
    const ScriptedPrompts::Call call = prompts.last();
    QCOMPARE(int(call.kind), int(ScriptedPrompts::Call::Kind::SaveFile));
    QCOMPARE(call.title, QStringLiteral("另存为"));
    QCOMPARE(call.dir, proposed);
    QCOMPARE(call.filter, QStringLiteral("文本 (*.txt)"));
    QVERIFY(call.hasParent);

    QCOMPARE(readAll(target), report.toUtf8());
    QVERIFY(!box.isVisible());
    // Nothing but the report is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("分件结果.txt")});
}

void TestMessageBoxDialog::cancelledSaveClosesWithoutWriting()
{
    QTemporaryDir dir;
    const QString proposed = dir.filePath(QStringLiteral("分件结果.txt"));
    ScriptedPrompts prompts;
    prompts.setNextPath(QString());
    MessageBoxDialog box;
    box.setText(QStringLiteral("订单A001:\n空产品:相册\n\n"), proposed);
    box.show();
    QTest::mouseClick(child<QPushButton>(box, "pushButton_save"), Qt::LeftButton);

    QVERIFY(!box.isVisible());
    QVERIFY(!QFile::exists(proposed));
    QCOMPARE(prompts.messages().size(), 0);
    QVERIFY(prompts.unexpected().isEmpty());
}

void TestMessageBoxDialog::failedWriteIsReportedAndBoxStaysOpen_data()
{
    QTest::addColumn<QString>("relativeTarget");
    QTest::newRow("folder missing") << QStringLiteral("gone/分件结果.txt");
    QTest::newRow("target is a folder") << QStringLiteral("busy");
    // A share that takes the data and refuses it at close: the old report stays.
    QTest::newRow("refused at close") << QStringLiteral("old.txt");
}

void TestMessageBoxDialog::failedWriteIsReportedAndBoxStaysOpen()
{
    QFETCH(QString, relativeTarget);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("busy")));
    const QString bad = dir.filePath(relativeTarget);
    const QString good = dir.filePath(QStringLiteral("分件结果.txt"));
    const QString report = QStringLiteral("订单A001:\n不存在的照片:1.jpg\n\n");
    QVERIFY(writeAll(dir.filePath(QStringLiteral("old.txt")), "old"));
    FileOperation::setFaultHook([bad](FileOperation::Fault f, const QString& path) {
        return f == FileOperation::Fault::Close && path == bad;
    });

    ScriptedPrompts prompts;
    prompts.setNextPath(bad);
    prompts.setNextAnswer(Prompts::Ok);
    MessageBoxDialog box;
    box.setText(report, good);
    box.show();
    auto* save = child<QPushButton>(box, "pushButton_save");
    QTest::mouseClick(save, Qt::LeftButton);

    QCOMPARE(prompts.messages().size(), 1);
    QCOMPARE(prompts.messages().at(0).title, QStringLiteral("警告"));
    QCOMPARE(prompts.messages().at(0).text, QStringLiteral("保存失败\n") + bad);
    QVERIFY(box.isVisible());
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("busy"))).isDir());
    QCOMPARE(readAll(dir.filePath(QStringLiteral("old.txt"))), QByteArray("old"));

    // The report is still there for another try.
    prompts.setNextPath(good);
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(readAll(good), report.toUtf8());
    QVERIFY(!box.isVisible());
    QVERIFY(prompts.unexpected().isEmpty());
    FileOperation::setFaultHook(nullptr);
}

QTEST_MAIN(TestMessageBoxDialog)
#include "tst_messageboxdialog.moc"

#include "config.h"
#include "messagedialog.h"
#include "scriptedprompts.h"
#include "standin.h"

#include <QtTest>

#include <QNetworkReply>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

// The phone-code dialog against the stand-in web service.
class TestMessageDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void isDigitStr_data();
    void isDigitStr();
    void buildsTheDialog();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void sendCodeRunsTheCountdown();
    void sendCodeFailures_data();
    void sendCodeFailures();
    void acceptedCodeEmitsOnceAndCloses();
    void codeAcceptedUnderItsOwnBox();
    void submitFailuresKeepDialogOpen_data();
    void submitFailuresKeepDialogOpen();

private:
    QString m_savedPhone;
};

namespace {
const QString kPhone = QStringLiteral("13800138000");
const QString kSendCode = QStringLiteral("send_code");
const QString kSubmit = QStringLiteral("send_code_post");
const QString kModule = QStringLiteral("OrderPhoto");

template <typename T> T* child(QWidget& parent, const char* name)
{
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT(w);
    return w;
}

QStringList messageTexts(const ScriptedPrompts& prompts)
{
    QStringList texts;
    for (const ScriptedPrompts::Call& call : prompts.messages())
        texts.append(call.title + QLatin1Char('|') + call.text);
    return texts;
}

// Every reply to the dialog's requests has been handled (and released).
bool repliesHandled(const MessageDialog& dialog)
{
    return dialog.findChildren<QNetworkReply*>().isEmpty();
}

bool countdownRunning(MessageDialog& dialog)
{
    const auto timers = dialog.findChildren<QTimer*>();
    for (QTimer* t : timers) {
        if (t->isActive() && t->interval() == 1000)
            return true;
    }
    return false;
}
} // namespace

void TestMessageDialog::init()
{
    m_savedPhone = Config::phone;
    Config::shop_id = QStringLiteral("3");
    Config::super_id = QStringLiteral("1");
}

void TestMessageDialog::cleanup()
{
    Config::phone = m_savedPhone;
}

void TestMessageDialog::isDigitStr_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("digits");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("digits") << kPhone << true;
    QTest::newRow("letter") << QStringLiteral("1380013800a") << false;
    QTest::newRow("blank") << QStringLiteral("138 0013800") << false;
    QTest::newRow("full-width digit") << QStringLiteral("1380013800１") << false;
    QTest::newRow("superscript two, in Latin-1") << QStringLiteral("138001380²") << false;
    QTest::newRow("Chinese") << QStringLiteral("一") << false;
}

void TestMessageDialog::isDigitStr()
{
    QFETCH(QString, text);
    QFETCH(bool, digits);
    QCOMPARE(MessageDialog::isDigitStr(text), digits);
}

void TestMessageDialog::buildsTheDialog()
{
    Config::phone = kPhone;
    MessageDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("手机号验证"));
    // A title bar with only a close button.
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    auto* phone = child<QTextEdit>(dialog, "textEdit_phone");
    QCOMPARE(phone->toPlainText(), kPhone);
    QVERIFY(!phone->isEnabled());

    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_cancel"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestMessageDialog::refusedBeforeSending_data()
{
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("submit"); // "确认" rather than "获取验证码"
    QTest::addColumn<QString>("text");
    const QString noPhone = QStringLiteral("请在后台-员工设置输入手机号");
    const QString badPhone = QStringLiteral("请输入正确的手机号");
    QTest::newRow("no phone, send") << QString() << QString() << false << noPhone;
    QTest::newRow("no phone, submit") << QString() << QStringLiteral("1234") << true << noPhone;
    QTest::newRow("ten digits") << QStringLiteral("1380013800") << QString() << false << badPhone;
    QTest::newRow("twelve digits") << QStringLiteral("138001380001") << QString() << false << badPhone;
    QTest::newRow("letter") << QStringLiteral("1380013800x") << QString() << false << badPhone;
    QTest::newRow("full-width digit") << QStringLiteral("1380013800０") << QString() << false << badPhone;
    QTest::newRow("no code typed") << kPhone << QString() << true << QStringLiteral("请输入验证码");
}

void TestMessageDialog::refusedBeforeSending()
{
    QFETCH(QString, phone);
    QFETCH(QString, code);
    QFETCH(bool, submit);
    QFETCH(QString, text);
    StandIn standIn;
    ScriptedPrompts prompts;
    prompts.setNextAnswer(Prompts::Yes);
    Config::phone = phone;
    MessageDialog dialog;
    child<QTextEdit>(dialog, "textEdit_code")->setPlainText(code);
    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, submit ? "pushButton_ok" : "pushButton_code"),
                      Qt::LeftButton);

    QCOMPARE(prompts.calls().size(), 1);
    const ScriptedPrompts::Call box = prompts.last();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text, text);
    QCOMPARE(box.buttons, Prompts::StandardButtons(Prompts::Yes));
    QVERIFY(!box.hasParent);
    // The refusal came at the press; no request may follow it.
    QTest::qWait(50);
    QVERIFY(standIn.log().isEmpty());
    QVERIFY(dialog.isVisible());
}

void TestMessageDialog::sendCodeRunsTheCountdown()
{
    StandIn standIn;
    ScriptedPrompts prompts;
    Config::phone = kPhone;
    MessageDialog dialog;
    dialog.show();
    auto* send = child<QPushButton>(dialog, "pushButton_code");
    QTest::mouseClick(send, Qt::LeftButton);
    QTest::mouseClick(send, Qt::LeftButton); // still on its way: sends nothing more
    QTRY_COMPARE(send->text(), QStringLiteral("60s"));
    QVERIFY(countdownRunning(dialog));

    const auto requests = standIn.requests(kModule, kSendCode);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.at(0).keys, QStringList({"token", "shopid", "superid", "phone"}));
    QCOMPARE(requests.at(0).values.value("token"), Config::token);
    QCOMPARE(requests.at(0).values.value("shopid"), QStringLiteral("3"));
    QCOMPARE(requests.at(0).values.value("superid"), QStringLiteral("1"));
    QCOMPARE(requests.at(0).values.value("phone"), kPhone);

    // The timer steps once a second.
    QTRY_COMPARE_WITH_TIMEOUT(send->text(), QStringLiteral("59s"), 3000);

    // Presses during the countdown send nothing and say nothing.
    QVERIFY(send->isEnabled());
    QTest::mouseClick(send, Qt::LeftButton);
    QVERIFY(repliesHandled(dialog)); // a request would be under way now
    QTest::qWait(50);
    QCOMPARE(standIn.requests(kModule, kSendCode).size(), 1);

    for (int remaining = 58; remaining >= 1; --remaining) {
        dialog.timeoutslot();
        QCOMPARE(send->text(), QString::number(remaining) + QStringLiteral("s"));
    }
    dialog.timeoutslot();
    QCOMPARE(send->text(), QStringLiteral("获取验证码"));
    QVERIFY(!countdownRunning(dialog));

    // Once the countdown is over a new code can be asked for.
    QTest::mouseClick(send, Qt::LeftButton);
    QTRY_COMPARE(standIn.requests(kModule, kSendCode).size(), 2);
    QTRY_COMPARE(send->text(), QStringLiteral("60s"));
    QVERIFY(prompts.messages().isEmpty());
    QVERIFY(prompts.unexpected().isEmpty());
}

void TestMessageDialog::sendCodeFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("refused") << "refuse" << QStringList{QStringLiteral("警告|验证码获取错误0")};
    QTest::newRow("http 500") << "http" << QStringList{QStringLiteral("警告|网络请求错误\n500")};
    QTest::newRow("not JSON") << "raw" << QStringList();
    QTest::newRow("JSON array") << "array" << QStringList();
}

namespace {
void applyFault(StandIn& standIn, const QString& action, const QString& fault)
{
    if (fault == QLatin1String("refuse"))
        standIn.refuse(kModule, action, QStringLiteral("0"), QStringLiteral("不显示"));
    else if (fault == QLatin1String("http"))
        standIn.failHttp(kModule, action, 500);
    else if (fault == QLatin1String("raw"))
        standIn.sendRaw(kModule, action, "<html>busy</html>");
    else if (fault == QLatin1String("array"))
        standIn.sendRaw(kModule, action, R"([{"code":"1"}])");
}
} // namespace

void TestMessageDialog::sendCodeFailures()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    StandIn standIn;
    applyFault(standIn, kSendCode, fault);
    ScriptedPrompts prompts;
    prompts.setLenient(true);
    Config::phone = kPhone;
    MessageDialog dialog;
    dialog.show();
    auto* send = child<QPushButton>(dialog, "pushButton_code");
    QTest::mouseClick(send, Qt::LeftButton);
    QTRY_COMPARE(standIn.requests(kModule, kSendCode).size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(dialog), 10000);
    if (boxes.isEmpty())
        QTest::qWait(50); // no box after the reply
    QTRY_COMPARE(messageTexts(prompts), boxes);
    QCOMPARE(send->text(), QStringLiteral("获取验证码"));
    QVERIFY(!countdownRunning(dialog));

    // Nothing is left waiting: the next press asks again.
    standIn.clearFaults();
    QTest::mouseClick(send, Qt::LeftButton);
    QTRY_COMPARE(send->text(), QStringLiteral("60s"));
    QCOMPARE(standIn.requests(kModule, kSendCode).size(), 2);
}

void TestMessageDialog::acceptedCodeEmitsOnceAndCloses()
{
    StandIn standIn;
    const QString code = standIn.storeSnapshot().value(QStringLiteral("phone_code")).toString();
    QVERIFY(!code.isEmpty());
    standIn.delay(kModule, kSubmit, 300);
    ScriptedPrompts prompts;
    Config::phone = kPhone;
    MessageDialog dialog;
    QSignalSpy emitted(&dialog, &MessageDialog::deleteorderfile);
    dialog.show();
    child<QTextEdit>(dialog, "textEdit_code")->setPlainText(code);
    auto* ok = child<QPushButton>(dialog, "pushButton_ok");

    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!ok->isEnabled()); // while the submit is on its way
    QTest::mouseClick(ok, Qt::LeftButton);
    dialog.on_pushButton_ok_clicked(); // also when reached past the button

    QTRY_COMPARE(emitted.count(), 1);
    QVERIFY(!dialog.isVisible());
    // Every reply handled, then a moment in which no second acceptance may come.
    QTRY_VERIFY_WITH_TIMEOUT(repliesHandled(dialog), 10000);
    QTest::qWait(50);
    QCOMPARE(emitted.count(), 1);
    const auto requests = standIn.requests(kModule, kSubmit);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.at(0).keys, QStringList({"token", "shopid", "superid", "phone", "code"}));
    QCOMPARE(requests.at(0).values.value("phone"), kPhone);
    QCOMPARE(requests.at(0).values.value("code"), code);
    QVERIFY(standIn.requests(kModule, kSendCode).isEmpty()); // no code was asked for first
    QVERIFY(prompts.calls().isEmpty());
}

// The code is accepted while a box of the dialog is open (a new code asked
// for a moment before was refused): the dialog, deleted on close as the
// separation windows make it, stays shown under the box and goes once it is
// answered.
void TestMessageDialog::codeAcceptedUnderItsOwnBox()
{
    StandIn standIn;
    const QString code = standIn.storeSnapshot().value(QStringLiteral("phone_code")).toString();
    standIn.refuse(kModule, kSendCode, QStringLiteral("0"), QStringLiteral("不显示"));
    standIn.hold(kModule, kSubmit);
    ScriptedPrompts prompts;
    Config::phone = kPhone;
    auto* dialog = new MessageDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<MessageDialog> alive(dialog);
    QSignalSpy emitted(dialog, &MessageDialog::deleteorderfile);
    dialog->show();
    child<QTextEdit>(*dialog, "textEdit_code")->setPlainText(code);
    QTest::mouseClick(child<QPushButton>(*dialog, "pushButton_ok"), Qt::LeftButton);
    QTRY_COMPARE(standIn.requests(kModule, kSubmit).size(), 1);

    bool released = false;
    bool shownUnderTheBox = true;
    prompts.setNextAnswerWhen(
        [&] {
            if (!std::exchange(released, true))
                standIn.release(kModule, kSubmit);
            shownUnderTheBox = shownUnderTheBox && alive && alive->isVisible();
            return emitted.count() > 0;
        },
        Prompts::Yes);
    QTest::mouseClick(child<QPushButton>(*dialog, "pushButton_code"), Qt::LeftButton);
    QTRY_VERIFY(alive.isNull());
    QVERIFY(shownUnderTheBox);
    QCOMPARE(emitted.count(), 1);
    QCOMPARE(messageTexts(prompts), QStringList{QStringLiteral("警告|验证码获取错误0")});
}

void TestMessageDialog::submitFailuresKeepDialogOpen_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("typed"); // empty: the right code
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("wrong code, sent as typed")
        << "" << QStringLiteral(" 12&34 ") << QStringList{QStringLiteral("警告|请输入正确验证码0")};
    QTest::newRow("refused") << "refuse" << QString()
                             << QStringList{QStringLiteral("警告|请输入正确验证码0")};
    QTest::newRow("http 500") << "http" << QString() << QStringList{QStringLiteral("警告|网络请求错误\n500")};
    QTest::newRow("not JSON") << "raw" << QString() << QStringList();
}

void TestMessageDialog::submitFailuresKeepDialogOpen()
{
    QFETCH(QString, fault);
    QFETCH(QString, typed);
    QFETCH(QStringList, boxes);
    StandIn standIn;
    const QString code = standIn.storeSnapshot().value(QStringLiteral("phone_code")).toString();
    applyFault(standIn, kSubmit, fault);
    ScriptedPrompts prompts;
    prompts.setLenient(true);
    Config::phone = kPhone;
    MessageDialog dialog;
    QSignalSpy emitted(&dialog, &MessageDialog::deleteorderfile);
    dialog.show();
    auto* codeBox = child<QTextEdit>(dialog, "textEdit_code");
    codeBox->setPlainText(typed.isEmpty() ? code : typed);
    auto* ok = child<QPushButton>(dialog, "pushButton_ok");
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(ok->isEnabled());
    QCOMPARE(messageTexts(prompts), boxes);
    QCOMPARE(standIn.requests(kModule, kSubmit).value(0).values.value("code"), codeBox->toPlainText());
    QCOMPARE(emitted.count(), 0);
    QVERIFY(dialog.isVisible());

    // Another try goes through once the service answers.
    standIn.clearFaults();
    codeBox->setPlainText(code);
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_COMPARE(emitted.count(), 1);
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestMessageDialog)
#include "tst_messagedialog.moc"

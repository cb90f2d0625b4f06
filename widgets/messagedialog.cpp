#include "messagedialog.h"

#include "config.h"
#include "formbody.h"
#include "prompts.h"
#include "ui_messagedialog.h"
#include "webservice.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

MessageDialog::MessageDialog(QWidget* parent)
    : QDialog(parent), m_ui(new Ui_MessageDialog), m_manager(new QNetworkAccessManager(this))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    m_countdown = kCountdownMs;
    m_ui->textEdit_phone->setPlainText(Config::phone);
    m_ui->textEdit_phone->setEnabled(false);
    setWindowTitle(QStringLiteral("手机号验证"));
}

MessageDialog::~MessageDialog()
{
    delete m_ui;
}

bool MessageDialog::isDigitStr(QString text)
{
    for (const QChar c : text) {
        const char latin = c.toLatin1(); // 0 for a character outside Latin-1
        if (latin < '0' || latin > '9')
            return false;
    }
    return true;
}

QByteArray MessageDialog::sendCodeBody()
{
    return FormBody()
        .add("token", Config::token)
        .add("shopid", Config::shop_id)
        .add("superid", Config::super_id)
        .add("phone", Config::phone);
}

QByteArray MessageDialog::submitCodeBody(const QString& code)
{
    return FormBody()
        .add("token", Config::token)
        .add("shopid", Config::shop_id)
        .add("superid", Config::super_id)
        .add("phone", Config::phone)
        .add("code", code);
}

void MessageDialog::showWarning(const QString& text)
{
    Prompts::information(nullptr, QStringLiteral("警告"), text, Prompts::Yes);
}

void MessageDialog::on_pushButton_code_clicked()
{
    const QString phone = m_ui->textEdit_phone->toPlainText();
    if (phone.isEmpty()) {
        showWarning(QStringLiteral("请在后台-员工设置输入手机号"));
        return;
    }
    if (phone.length() != 11 || !isDigitStr(phone)) {
        showWarning(QStringLiteral("请输入正确的手机号"));
        return;
    }
    // A running countdown, or a request still on its way, sends nothing:
    // a second code would also start a second countdown.
    if (m_countdown != kCountdownMs || m_codeRequestPending)
        return;

    m_codeRequestPending = true;
    QNetworkReply* reply = WebService::post(m_manager, Config::url_post_get_message_code, sendCodeBody());
    connect(reply, &QNetworkReply::finished, this, [this, reply] { getMessageCodeSlot(reply); });
}

void MessageDialog::getMessageCodeSlot(QNetworkReply* reply)
{
    m_codeRequestPending = false;
    reply->deleteLater();
    const WebService::Reply r = WebService::read(reply);
    qDebug().noquote() << "postOrder Json:" << QString::fromUtf8(r.body);
    if (WebService::reportFailure(r, QStringLiteral("验证码获取错误") + r.code, Prompts::Yes))
        return;

    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(1000);
        connect(m_timer, &QTimer::timeout, this, &MessageDialog::timeoutslot);
    }
    m_countdown = kCountdownMs;
    m_timer->start();
    m_ui->pushButton_code->setText(QString::number(m_countdown / 1000) + QStringLiteral("s"));
}

void MessageDialog::timeoutslot()
{
    m_countdown -= 1000;
    if (m_countdown <= 0) {
        if (m_timer)
            m_timer->stop();
        m_ui->pushButton_code->setText(QStringLiteral("获取验证码"));
        m_countdown = kCountdownMs;
        return;
    }
    m_ui->pushButton_code->setText(QString::number(m_countdown / 1000) + QStringLiteral("s"));
}

void MessageDialog::on_pushButton_ok_clicked()
{
    if (m_ui->textEdit_phone->toPlainText().isEmpty()) {
        showWarning(QStringLiteral("请在后台-员工设置输入手机号"));
        return;
    }
    const QString code = m_ui->textEdit_code->toPlainText();
    if (code.isEmpty()) {
        showWarning(QStringLiteral("请输入验证码"));
        return;
    }
    // One submit at a time, so an accepted code starts the deletion once.
    if (m_submitPending)
        return;
    m_submitPending = true;
    m_ui->pushButton_ok->setEnabled(false);
    QNetworkReply* reply = WebService::post(m_manager, Config::url_submit_phone_code, submitCodeBody(code));
    connect(reply, &QNetworkReply::finished, this, [this, reply] { sumbitCodeSlot(reply); });
}

void MessageDialog::sumbitCodeSlot(QNetworkReply* reply)
{
    m_submitPending = false;
    m_ui->pushButton_ok->setEnabled(true);
    reply->deleteLater();
    const WebService::Reply r = WebService::read(reply);
    qDebug().noquote() << "postOrder Json:" << QString::fromUtf8(r.body);
    if (WebService::reportFailure(r, QStringLiteral("请输入正确验证码") + r.code, Prompts::Yes))
        return;

    // The receiver may delete the dialog while it handles the signal, and
    // may leave a box open for a while: the dialog closes once none is.
    QPointer<MessageDialog> self(this);
    emit deleteorderfile();
    if (self)
        Prompts::whenNoBoxOpen(this, [this] { close(); });
}

void MessageDialog::on_pushButton_cancel_clicked()
{
    close();
}

#include "login.h"

#include "appresources.h"
#include "config.h"
#include "desktop.h"
#include "httprequest.h"
#include "prompts.h"
#include "selecttool.h"
#include "signin.h"
#include "webservice.h"

#include "ui_login.h"

#include <QDebug>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QUrl>

Login::Login(QWidget* parent)
    : QDialog(parent), m_ui(new Ui_Login), m_manager(new QNetworkAccessManager(this))
{
    initAppResources();
    m_ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    m_ui->okButton->setDefault(true);
    connect(m_ui->okButton, &QPushButton::clicked, this, &Login::clickLogin);
    connect(m_manager, &QNetworkAccessManager::finished, this, &Login::finishedSlot);

    m_ui->label_pic->setPixmap(QPixmap(QStringLiteral(":/login/Image/Login/login_bg.png")));
    m_ui->label_name->setPixmap(QPixmap(QStringLiteral(":/login/Image/Login/user_icon.png")));
    m_ui->label_pw->setPixmap(QPixmap(QStringLiteral(":/login/Image/Login/pass_icon.png")));
    m_ui->username->setFocus();
    writeUserInfo();
    m_ui->lb_version->setText(SignIn::productTitle());
    checkUpdate();
}

Login::~Login()
{
    delete m_ui;
}

void Login::writeUserInfo()
{
    const RememberedUser::Entry entry = RememberedUser::read(RememberedUser::filePath());
    if (entry.userName.isEmpty() && entry.encodedPassword.isEmpty())
        return;
    m_ui->checkBox->setChecked(entry.remembered());
    m_ui->username->setText(entry.userName);
    if (!entry.password.isEmpty())
        m_ui->password->setText(entry.password);
}

void Login::checkUpdate()
{
    HttpRequest* request =
        HttpRequest::startNetRequest(Config::url_check_update, SignIn::updateCheckBody(), true);
    connect(request, &HttpRequest::netSuccessInfo, this, &Login::httpCheckUpdateJson);
}

void Login::httpCheckUpdateJson(QJsonObject jsonInfo)
{
    if (jsonInfo.value(QStringLiteral("code")).toString() != QLatin1String("1"))
        return;
    const QString path = SignIn::updatePagePath(jsonInfo);
    const QUrl url(path);
    if (!SignIn::isWebPage(url)) {
        qDebug() << "开打网页失败: not a web address" << path;
        return;
    }
    if (Desktop::instance().openUrl(url))
        qDebug() << "开打网页成功";
    else
        qDebug() << "开打网页失败";
}

void Login::clickLogin()
{
    if (m_ui->username->text().isEmpty()) {
        Prompts::information(this, QStringLiteral("警告"), QStringLiteral("未输入用户名"), Prompts::Yes);
        return;
    }
    if (m_ui->password->text().isEmpty()) {
        Prompts::information(this, QStringLiteral("警告"), QStringLiteral("未输入密码"), Prompts::Yes);
        return;
    }
    loginPost();
}

void Login::loginPost()
{
    m_ui->okButton->setEnabled(false);
    setWindowTitle(QStringLiteral("正在登录..."));
    WebService::post(m_manager, Config::url_login,
                     SignIn::loginBody(m_ui->username->text(), m_ui->password->text()));
}

void Login::restoreIdle()
{
    m_ui->okButton->setEnabled(true);
    setWindowTitle(QStringLiteral("登录"));
}

void Login::finishedSlot(QNetworkReply* reply)
{
    reply->deleteLater();
    const WebService::Reply r = WebService::read(reply);
    if (WebService::reportFailure(r, r.message, Prompts::Yes, this)) {
        if (r.kind == WebService::Reply::Kind::Refusal)
            m_ui->password->clear();
        restoreIdle();
        return;
    }

    SignIn::storeIdentity(r.object);
    m_shops = SignIn::shopsOf(r.object);
    if (!RememberedUser::write(RememberedUser::filePath(), m_ui->username->text(), m_ui->password->text(),
                               m_ui->checkBox->isChecked()))
        qWarning() << "the remembered user could not be saved";

    // The launcher is shown before the dialog closes, so the application
    // never sees a moment without a window and does not quit.
    auto* launcher = new SelectTool(m_shops, nullptr);
    launcher->setAttribute(Qt::WA_DeleteOnClose);
    launcher->show();
    close();
}

void Login::on_pushButton_clicked()
{
    close();
}

void Login::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragPoint = event->globalPos();
    }
    event->ignore();
}

void Login::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    event->ignore();
}

void Login::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        const QPoint now = event->globalPos();
        move(pos() + now - m_dragPoint);
        m_dragPoint = now;
    }
    event->ignore();
}

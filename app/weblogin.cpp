#include "weblogin.h"

#include "appresources.h"
#include "config.h"
#include "desktop.h"
#include "httprequest.h"
#include "prompts.h"
#include "selecttool.h"
#include "signin.h"

#include "ui_weblogin.h"

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QWebSettings>

WebLogin::WebLogin(QWidget* parent) : QWidget(parent), m_ui(new Ui_WebLogin)
{
    initAppResources();
    m_ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    m_ui->label->hide();
    m_ui->webView->load(loginPageUrl());
    m_ui->webView->showMaximized();
    connect(m_ui->webView, &QWebView::urlChanged, this, &WebLogin::getUrl);
    connect(m_ui->webView, &QWebView::titleChanged, this, &WebLogin::getTile);
    connect(m_ui->webView, &QWebView::loadProgress, this, &WebLogin::webloadProgress);
    checkUpdate();
}

WebLogin::~WebLogin()
{
    // The view reports a last progress while it is torn down with the
    // children; by then the form is gone.
    disconnect(m_ui->webView, nullptr, this, nullptr);
    delete m_ui;
}

QUrl WebLogin::loginPageUrl()
{
    return QUrl(Config::url_host + QStringLiteral("/user/public/Dravin_weixin_loginform/"));
}

void WebLogin::getUrl(QUrl url)
{
    qDebug() << "url=" << url;
}

void WebLogin::webloadProgress(int progress)
{
    if (progress > 10)
        m_ui->label->show();
}

void WebLogin::getTile(QString title)
{
    if (title.isEmpty())
        return;
    qDebug() << "title=" << title;
    const SignIn::WebResult result = SignIn::parseWebTitle(title);
    qDebug() << "code=" << result.code;
    if (!result.accepted) {
        m_ui->webView->back();
        Prompts::information(this, QStringLiteral("警告"), result.message, Prompts::Ok);
        return;
    }
    Config::manager_name = result.userName;
    Config::uid = result.uid;
    m_shops = result.shops;

    // The launcher is shown before this window closes, so the application
    // never sees a moment without a window and does not quit.
    auto* launcher = new SelectTool(m_shops, nullptr);
    launcher->setAttribute(Qt::WA_DeleteOnClose);
    launcher->show();
    close();
}

void WebLogin::refreshWeb()
{
    QWebSettings::clearMemoryCaches();
    m_ui->webView->load(loginPageUrl());
    m_ui->webView->showMaximized();
}

void WebLogin::on_pushButton_clicked()
{
    close();
}

void WebLogin::checkUpdate()
{
    HttpRequest* request =
        HttpRequest::startNetRequest(Config::url_check_update, SignIn::webUpdateCheckBody(), true);
    connect(request, &HttpRequest::netSuccessInfo, this, &WebLogin::httpCheckUpdateJson);
}

void WebLogin::httpCheckUpdateJson(QJsonObject jsonInfo)
{
    if (jsonInfo.value(QStringLiteral("code")).toString() != QLatin1String("1"))
        return;
    const QString workingDir = QDir::currentPath();
    const QStringList arguments = SignIn::updaterArguments(jsonInfo, workingDir);
    qDebug() << "current Path:" << arguments.at(5);
    Desktop::instance().startDetached(QStringLiteral("checkUpdate.exe"), arguments);
    // The updater replaces the client: end here, whether or not it started.
    QCoreApplication::exit(0);
}

void WebLogin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QAction* refresh = menu->addAction(QStringLiteral("刷新"));
        connect(refresh, &QAction::triggered, this, &WebLogin::refreshWeb);
        menu->popup(event->globalPos());
    } else if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragAnchor = event->globalPos();
        event->ignore();
    }
}

void WebLogin::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    event->ignore();
}

void WebLogin::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        const QPoint now = event->globalPos();
        move(pos() + now - m_dragAnchor);
        m_dragAnchor = now;
    }
    event->ignore();
}

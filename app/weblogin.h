#pragma once

#include "shop.h"

#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QUrl>
#include <QWidget>

class Ui_WebLogin;

// The sign-in window that shows the web service's sign-in page. The page
// reports the outcome in its title, as a JSON object; on success the
// launcher opens with the user's shops.
class WebLogin : public QWidget
{
    Q_OBJECT
public:
    explicit WebLogin(QWidget* parent = nullptr);
    ~WebLogin() override;

    void checkUpdate();

    // The sign-in page's address on the web service.
    static QUrl loginPageUrl();

public slots:
    void getUrl(QUrl url);
    void getTile(QString title);
    void webloadProgress(int progress);
    void on_pushButton_clicked();
    void httpCheckUpdateJson(QJsonObject jsonInfo);
    void refreshWeb();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QList<Shop> m_shops;
    Ui_WebLogin* m_ui;
    bool m_dragging = false;
    QPoint m_dragAnchor;
};

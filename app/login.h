#pragma once

#include "shop.h"

#include <QDialog>
#include <QJsonObject>
#include <QList>
#include <QPoint>

class QNetworkAccessManager;
class QNetworkReply;
class Ui_Login;

// The frameless sign-in dialog: fills the form from the remembered-user
// file, checks for a newer client, signs in and hands the user's shops to
// the launcher.
class Login : public QDialog
{
    Q_OBJECT
public:
    explicit Login(QWidget* parent = nullptr);
    ~Login() override;

    void writeUserInfo();
    void checkUpdate();
    void loginPost();

public slots:
    void clickLogin();
    void finishedSlot(QNetworkReply* reply);
    void on_pushButton_clicked();
    void httpCheckUpdateJson(QJsonObject jsonInfo);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Back to idle after a failed sign-in.
    void restoreIdle();

    Ui_Login* m_ui;
    QNetworkAccessManager* m_manager;
    bool m_dragging = false;
    QPoint m_dragPoint;
    QList<Shop> m_shops;
};

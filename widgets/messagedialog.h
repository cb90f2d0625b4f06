#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class Ui_MessageDialog;

// The phone-code confirmation in front of a batch deletion: has the web
// service send a code to the staff member's phone and submits the typed
// code; an accepted code emits deleteorderfile() and closes the dialog.
class MessageDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MessageDialog(QWidget* parent = nullptr);
    ~MessageDialog() override;

    // True when every character is an ASCII digit (also for an empty text).
    static bool isDigitStr(QString text);

    // The two request bodies, from the signed-in identity and Config::phone.
    static QByteArray sendCodeBody();
    static QByteArray submitCodeBody(const QString& code);

    static constexpr int kCountdownMs = 60000;

signals:
    void deleteorderfile();

public slots:
    void on_pushButton_code_clicked();
    void getMessageCodeSlot(QNetworkReply* reply);
    void timeoutslot();
    void on_pushButton_ok_clicked();
    void sumbitCodeSlot(QNetworkReply* reply);
    void on_pushButton_cancel_clicked();

private:
    void showWarning(const QString& text);

    Ui_MessageDialog* m_ui;
    QNetworkAccessManager* m_manager;
    int m_countdown = kCountdownMs;
    QTimer* m_timer = nullptr;
    bool m_codeRequestPending = false;
    bool m_submitPending = false;
};

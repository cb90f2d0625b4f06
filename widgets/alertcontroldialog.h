#pragma once

#include <QDialog>
#include <QString>

class Ui_AlertControlDialog;

// A small window that collects lines of text to read; "清空" clears it.
class AlertControlDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AlertControlDialog(QWidget* parent = nullptr);
    ~AlertControlDialog() override;

    void setAppTxt(QString str);

public slots:
    void slt_apptxt(QString str);
    void slt_apptxt2(QString str);
    void on_pushButton_clicked();

private:
    Ui_AlertControlDialog* m_ui;
};

#include "alertcontroldialog.h"

#include "ui_alertcontroldialog.h"

AlertControlDialog::AlertControlDialog(QWidget* parent) : QDialog(parent), m_ui(new Ui_AlertControlDialog)
{
    m_ui->setupUi(this);
}

AlertControlDialog::~AlertControlDialog()
{
    delete m_ui;
}

// Every text stands after an empty line.
void AlertControlDialog::setAppTxt(QString str)
{
    m_ui->textEdit->append(QStringLiteral("\n"));
    m_ui->textEdit->append(str);
}

void AlertControlDialog::slt_apptxt(QString str)
{
    setAppTxt(str);
}

void AlertControlDialog::slt_apptxt2(QString str)
{
    setAppTxt(str);
}

void AlertControlDialog::on_pushButton_clicked()
{
    m_ui->textEdit->setText(QString());
}

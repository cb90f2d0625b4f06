#include "messageboxdialog.h"

#include "fileoperation.h"
#include "prompts.h"
#include "ui_messageboxdialog.h"

#include <QDebug>

MessageBoxDialog::MessageBoxDialog(QWidget* parent) : QDialog(parent), m_ui(new Ui_MessageBoxDialog)
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("提示:   分件成功!"));
    m_ui->textEdit->setStyleSheet(QStringLiteral(
        "QTextEdit{background-color:rgba(255, 255, 255, 0);border-style: solid;border-width: 0px;}"));
}

MessageBoxDialog::~MessageBoxDialog()
{
    delete m_ui;
}

void MessageBoxDialog::setText(QString text, QString fileName)
{
    if (!text.isEmpty()) {
        m_text = text;
        m_fileName = fileName;
        m_ui->textEdit->setText(text);
        return;
    }
    m_ui->textEdit->setFixedHeight(120);
    m_ui->textEdit->setText(QStringLiteral("分件成功!"));
    m_ui->pushButton_close->setText(QStringLiteral("确认"));
    m_ui->pushButton_save->hide();
}

void MessageBoxDialog::setUnfinished()
{
    setWindowTitle(QStringLiteral("提示:   分件未完成"));
}

bool MessageBoxDialog::writeReport(const QString& path, const QString& text)
{
    // UTF-8 whatever the process locale, so Chinese order and photo names
    // survive; the line ends stay as the report has them. An earlier file
    // stays whole unless the new one is written, synced and closed.
    if (!FileOperation::writeFile(text.toUtf8(), path, true)) {
        qDebug() << "report not saved:" << path;
        return false;
    }
    return true;
}

void MessageBoxDialog::on_pushButton_save_clicked()
{
    const QString path = Prompts::instance().getSaveFileName(this, QStringLiteral("另存为"), m_fileName,
                                                             QStringLiteral("文本 (*.txt)"));
    if (!path.isEmpty() && !writeReport(path, m_text)) {
        // The box stays open so the report is not lost; the user may pick
        // another place.
        Prompts::information(this, QStringLiteral("警告"), QStringLiteral("保存失败\n") + path);
        return;
    }
    close();
}

void MessageBoxDialog::on_pushButton_close_clicked()
{
    close();
}

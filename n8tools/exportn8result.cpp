#include "exportn8result.h"

#include "config.h"
#include "fileoperation.h"
#include "n8thread.h"
#include "prompts.h"
#include "ui_exportn8result.h"

#include <QCloseEvent>
#include <QDebug>

#include <algorithm>

ExportN8Result::ExportN8Result(QWidget* parent)
    : SeparationWindowBase(SeparationLayout::n8(Config::sjfjxz), parent), ui(new Ui_ExportN8Result)
{
    ui->setupUi(this);
    initWindow();
    n8Thread = new N8thread(this, this);
}

ExportN8Result::~ExportN8Result()
{
    n8Thread->stopThread();
    n8Thread->quit();
    n8Thread->wait();
    n8Thread = nullptr;
    delete ui;
}

void ExportN8Result::startSeparation()
{
    SeparationController* c = controller();
    // A press during an export leaves the running export's report alone.
    if (c->isSeparating) {
        Prompts::notice(QStringLiteral("通知"), QStringLiteral("正在分件，请稍后"));
        return;
    }
    c->m_messageList.clear();
    if (!isSelectOrder()) {
        Prompts::notice(QString(), QStringLiteral("请选择订单"));
        return;
    }
    c->checkOrdersNum = int(std::count_if(c->orderList.cbegin(), c->orderList.cend(),
                                          [](const order& o) { return o.isChecked; }));
    // An empty field would name the working folder and export to the root.
    // A folder that cannot be looked at is named as such, not as missing.
    const QString exportPath = ui->pathLineEdit->text();
    const QString fault = FileOperation::folderFault(exportPath, QStringLiteral("分件路径不存在"));
    if (!fault.isEmpty()) {
        Prompts::notice(QStringLiteral("警告"), fault);
        return;
    }
    c->isSeparating = true;
    m_exporting = true;
    ui->groupBox->show();
    ui->label->show();
    ui->label->setText(QStringLiteral("开始导出N8结果..."));

    // The last export has sent its report; its thread may still be ending.
    n8Thread->wait();
    n8Thread->mode = QStringLiteral("exportN8result");
    n8Thread->exportPath = exportPath;
    // The worker keeps the orders and ticks of this moment; later clicks and
    // searches change only the window's own list.
    n8Thread->orderList = c->orderList;
    n8Thread->isN8ResultDownAll = Config::isN8ResultDownAll;
    n8Thread->isN8fjUseBigImg = Config::isN8fjUseBigImg;
    n8Thread->start(QThread::InheritPriority);
}

void ExportN8Result::slt_exportN8Result(QJsonObject msgObjc)
{
    const QString type = msgObjc.value(QLatin1String("type")).toString();
    if (type == QLatin1String("all_finish")) {
        // A close question still open asks to stop an export that has ended.
        withdrawCloseQuestion();
        m_exporting = false;
        // This is the worker's last message: its run is ending, and the
        // window a close kept open goes once it has.
        if (m_closeWhenStopped)
            n8Thread->wait();
        // A window already closed shows no report.
        if (isWindowShow) {
            Prompts::Message report;
            report.title = msgObjc.value(QLatin1String("unfinished")).toBool()
                               ? QStringLiteral("提示:   分件未完成")
                               : QStringLiteral("温馨提示");
            report.text = msgObjc.value(QLatin1String("message")).toString();
            report.richText = true;
            report.buttons = Prompts::Yes;
            report.defaultButton = Prompts::Yes;
            Prompts::instance().message(report);
        }
        controller()->isSeparating = false;
        ui->groupBox->hide();
        ui->label->hide();
        if (m_closeWhenStopped) {
            Prompts::whenNoBoxOpen(this, [this] {
                m_closeWhenStopped = false;
                close();
            });
        }
    } else if (type == QLatin1String("update_msg")) {
        ui->label->setText(msgObjc.value(QLatin1String("alert")).toString());
    } else {
        qDebug() << msgObjc;
    }
}

void ExportN8Result::closeEvent(QCloseEvent* event)
{
    if (!m_exporting && !m_closeWhenStopped) {
        SeparationWindowBase::closeEvent(event);
        return;
    }
    // The export stops at its next order or file; the window stays until
    // its report has come, and a close meanwhile asks nothing.
    event->ignore();
    if (m_closeWhenStopped || !confirmStopAndClose())
        return;
    m_closeWhenStopped = true;
    n8Thread->stopThread();
}

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
        // A window already closed shows no report.
        if (isWindowShow) {
            Prompts::Message report;
            report.title = QStringLiteral("温馨提示");
            report.text = msgObjc.value(QLatin1String("message")).toString();
            report.richText = true;
            report.buttons = Prompts::Yes;
            report.defaultButton = Prompts::Yes;
            Prompts::instance().message(report);
        }
        controller()->isSeparating = false;
        ui->groupBox->hide();
        ui->label->hide();
    } else if (type == QLatin1String("update_msg")) {
        ui->label->setText(msgObjc.value(QLatin1String("alert")).toString());
    } else {
        qDebug() << msgObjc;
    }
}

void ExportN8Result::closeEvent(QCloseEvent* event)
{
    // The base asks first during an export; once the window closes, the
    // export stops at its next order or file, and the destructor waits.
    SeparationWindowBase::closeEvent(event);
    if (event->isAccepted())
        n8Thread->stopThread();
}

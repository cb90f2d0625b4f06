#include "selecttool.h"

#include "config.h"
#include "n8thread.h"
#include "prompts.h"
#include "shopswitch.h"
#include "toolwindows.h"
#include "webservice.h"

#include "ui_selecttool.h"

#include <QButtonGroup>
#include <QDebug>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRadioButton>

namespace {

const QString kSyncIdle = QStringLiteral("同步全部员工/产品到N8");
const QString kSyncTesting = QStringLiteral("同步全部员工/产品到N8,解析数据中,请稍后...");
// The shop a switch or store-path request was sent for, kept on its reply.
const char* const kShopIdProperty = "shopid";

} // namespace

SelectTool::SelectTool(QList<Shop> shops, QWidget* parent)
    : QWidget(parent), m_manager(new QNetworkAccessManager(this)), m_shops(shops), m_ui(new Ui_SelectTool),
      m_toolGroup(new QButtonGroup(this))
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("选择工具"));

    // Every tool is a visible choice; a tool whose window is not part of
    // the build stays disabled.
    const QList<QPair<QRadioButton*, int>> tools = {
        {m_ui->importPicRadio, ToolBatchImport},
        {m_ui->radioButton_separatePhotos, ToolDesignSeparation},
        {m_ui->radioButton_yhfj, ToolPostSampleSeparation},
        {m_ui->rb_plsc, ToolBatchDeletion},
        {m_ui->rb_n8fj, ToolN8Separation},
        {m_ui->rb_searchorder, ToolImportSearch},
        {m_ui->rb_shangjian, ToolUploadDesk},
        {m_ui->rb_fajian, ToolDispatchDesk},
    };
    m_toolGroup->setExclusive(true);
    for (const auto& tool : tools) {
        m_toolGroup->addButton(tool.first, tool.second);
        tool.first->setEnabled(bool(ToolWindows::opener(tool.second)));
    }
    m_ui->pb_syncton8->setEnabled(bool(ToolWindows::syncOpener()));

    setData();
}

SelectTool::~SelectTool()
{
    // A store check must not outlive the launcher it reports to.
    for (N8thread* worker : findChildren<N8thread*>(QString(), Qt::FindDirectChildrenOnly))
        worker->wait();
    delete m_ui;
}

void SelectTool::setData()
{
    for (const Shop& shop : qAsConst(m_shops)) {
        m_shopNames.append(shop.name);
        m_shopIds.append(shop.id);
        qDebug() << "shop:" << shop.name << shop.id;
    }
    m_ui->comboBox->addItems(m_shopNames);
}

QString SelectTool::currentShopId() const
{
    const int row = m_ui->comboBox->currentIndex();
    return row >= 0 && row < m_shopIds.size() ? m_shopIds.at(row) : QString();
}

bool SelectTool::refuseWithoutShop()
{
    if (m_ui->comboBox->currentIndex() >= 0 && m_ui->comboBox->currentIndex() < m_shopIds.size())
        return false;
    Prompts::information(this, QStringLiteral("警告"), QStringLiteral("没有可选择的分店"), Prompts::Yes);
    return true;
}

void SelectTool::on_pushButton_clicked()
{
    if (refuseWithoutShop())
        return;
    const QString shopId = currentShopId();
    if (refuseOtherShop(shopId))
        return;
    QNetworkReply* reply =
        WebService::post(m_manager, Config::url_query_user_data, ShopSwitch::shopBody(shopId));
    reply->setProperty(kShopIdProperty, shopId);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { queryCallBack(reply); });
}

void SelectTool::queryCallBack(QNetworkReply* reply)
{
    reply->deleteLater();
    const WebService::Reply r = WebService::read(reply);
    if (WebService::reportFailure(r, r.message, Prompts::Yes))
        return;
    qDebug().noquote() << QJsonDocument(r.object).toJson(QJsonDocument::Compact);

    // Another press may have opened a window for its shop meanwhile.
    const QString shopId = reply->property(kShopIdProperty).toString();
    if (refuseOtherShop(shopId))
        return;

    // The tool is the one checked when the reply arrives.
    const int toolId = m_toolGroup->checkedId();
    if (toolId == ToolBatchDeletion && !ShopSwitch::deletionAllowed(r.object)) {
        Prompts::information(nullptr, QStringLiteral("警告"), QStringLiteral("暂无权限，请联系管理员开通"),
                             Prompts::Yes);
        return;
    }

    ShopSwitch::store(r.object);
    m_storedShop = Shop{m_shopNames.value(m_shopIds.indexOf(shopId)), shopId};
    openTool(toolId);
}

void SelectTool::keepShopWindow(QWidget* window)
{
    if (window)
        m_shopWindows.append(window);
}

bool SelectTool::refuseOtherShop(const QString& shopId)
{
    m_shopWindows.removeAll(QPointer<QWidget>());
    if (m_shopWindows.isEmpty() || shopId == m_storedShop.id)
        return false;
    Prompts::information(this, QStringLiteral("警告"),
                         QStringLiteral("请先关闭%1的工具窗口，再切换分店").arg(m_storedShop.name),
                         Prompts::Yes);
    return true;
}

void SelectTool::openTool(int toolId)
{
    qDebug() << "checkedId:" << toolId;
    if (toolId < ToolImportSearch || toolId > ToolN8Separation) {
        Prompts::information(this, QStringLiteral("警告"), QStringLiteral("请选择一个工具"), Prompts::Yes);
        return;
    }
    const ToolWindows::Opener opener = ToolWindows::opener(toolId);
    if (!opener) {
        qDebug() << "no window for tool" << toolId << "in this build";
        return;
    }
    if (toolId == ToolBatchImport && !checkImportImgPath())
        return;
    if (toolId == ToolPostSampleSeparation)
        Config::sjfjxz = QStringLiteral("1");
    keepShopWindow(opener(this));
}

bool SelectTool::checkImportImgPath()
{
    const QString warning = ShopSwitch::importPathWarning(
        Config::importServPath, Config::importServBackupPath, Config::importServHousePath);
    if (warning.isEmpty())
        return true;
    Prompts::warning(this, QStringLiteral("警告"), warning, Prompts::Ok);
    return false;
}

void SelectTool::on_pb_syncton8_clicked()
{
    req_syncToN8Path();
}

void SelectTool::req_syncToN8Path()
{
    if (m_ui->pb_syncton8->text() != kSyncIdle || m_syncBusy)
        return;
    if (refuseWithoutShop())
        return;
    m_syncBusy = true;
    const QString shopId = currentShopId();
    QNetworkReply* reply =
        WebService::post(m_manager, Config::url_storesn8path, ShopSwitch::shopBody(shopId));
    reply->setProperty(kShopIdProperty, shopId);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { query_storesn8paths(reply); });
}

void SelectTool::query_storesn8paths(QNetworkReply* reply)
{
    m_syncBusy = false;
    reply->deleteLater();
    const WebService::Reply r = WebService::read(reply);
    if (WebService::reportFailure(r, r.message, Prompts::Yes))
        return;
    qDebug().noquote() << QJsonDocument(r.object).toJson(QJsonDocument::Compact);

    m_ui->pb_syncton8->setText(kSyncTesting);
    // The sync is for the shop whose stores are checked, whatever the combo
    // shows once the check ends.
    m_syncShopId = reply->property(kShopIdProperty).toString();
    auto* worker = new N8thread(this, this);
    worker->stores = r.object.value(QStringLiteral("stores")).toArray();
    worker->mode = QStringLiteral("stores");
    // A finished check is of no further use; the destructor waits for the
    // ones still running.
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start(QThread::InheritPriority);
}

void SelectTool::slt_n8stores(QJsonArray storeables, QString msg)
{
    m_ui->pb_syncton8->setText(kSyncIdle);
    if (storeables.isEmpty()) {
        Prompts::information(nullptr, QStringLiteral("温馨提示"),
                             QStringLiteral("没有门店的N8服务路径在和本机在同一局域网中,不能同步到N8！"),
                             Prompts::Yes);
        return;
    }
    if (!msg.isEmpty()) {
        Prompts::Message box;
        box.icon = Prompts::Icon::NoIcon;
        box.text = msg + QStringLiteral(" 的N8路径和本机不在同一局域网不能同步到N8");
        box.buttons = Prompts::NoButton;
        box.customButtons = {{QStringLiteral("确定同步"), Prompts::YesRole},
                             {QStringLiteral("取消"), Prompts::NoRole}};
        // Closing the box without a choice cancels as well.
        if (Prompts::instance().message(box).custom != 0)
            return;
    }
    const ToolWindows::SyncOpener opener = ToolWindows::syncOpener();
    if (!opener) {
        qDebug() << "no N8 sync dialog in this build";
        return;
    }
    opener(storeables, m_syncShopId);
}

void SelectTool::closeSearch()
{
    setHidden(false);
}

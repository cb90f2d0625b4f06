#include "separationcontroller.h"

#include "config.h"
#include "fileoperation.h"
#include "ordertablecheck.h"
#include "productplan.h"
#include "prompts.h"
#include "separationrequests.h"
#include "separationsearch.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The run's boxes: no parent, one Yes button that is also the default.
void runBox(const QString& title, const QString& text)
{
    Prompts::information(nullptr, title, text, Prompts::Yes, Prompts::Yes);
}

// A failed reply of the run told the way its boxes tell it: the transport
// error, or the refusal text and the reply's code; a reply that is no JSON
// object says nothing. True when the run cannot go on.
bool runReplyFailed(const WebService::Reply& reply, const QString& refusalText)
{
    switch (reply.kind) {
    case WebService::Reply::Kind::TransportError:
        runBox(QStringLiteral("警告"), WebService::transportErrorText(reply));
        return true;
    case WebService::Reply::Kind::NotJsonObject:
        qDebug() << "the reply is not a JSON object";
        return true;
    case WebService::Reply::Kind::Refusal:
        runBox(QStringLiteral("警告"), refusalText + reply.code);
        return true;
    case WebService::Reply::Kind::Success:
        break;
    }
    return false;
}

} // namespace

SeparationController::SeparationController(SeparationHost* host, SeparationLayout layout, QObject* parent)
    : QObject(parent), m_host(host), m_layout(std::move(layout))
{
}

SeparationController::~SeparationController() = default;

void SeparationController::close()
{
    m_closed = true;
}

void SeparationController::post(const char* replySlot, const QString& route, const QByteArray& body)
{
    if (m_closed)
        return;
    m_host->post(replySlot, route, body);
}

void SeparationController::busyBox()
{
    runBox(QStringLiteral("通知"), QStringLiteral("正在分件，请稍后"));
}

// --- Search ------------------------------------------------------------------

void SeparationController::clickSearch(const QString& criterion, const QString& typed, const QDate& day)
{
    const int type = SeparationSearch::searchTypeFor(criterion);
    if (type == 0)
        return;
    // The run reads the list's flags to pick its next order; a new list
    // under a running run would change what it separates.
    if (SeparationRunGuard::isBusy()) {
        busyBox();
        return;
    }
    QString keyword = day.toString(QStringLiteral("yyyy-MM-dd"));
    if (SeparationSearch::isKeywordSearch(type)) {
        if (typed.isEmpty()) {
            Prompts::information(nullptr, QStringLiteral("警告"), SeparationSearch::missingKeywordText(type),
                                 m_layout.searchBoxButton, m_layout.searchBoxButton);
            return;
        }
        keyword = typed;
    }
    search(type, keyword);
    m_host->setSearching(true);
}

void SeparationController::search(int searchType, const QString& keyword)
{
    QByteArray body = SeparationSearch::body(searchType, keyword);
    postDataFunc(body);
}

void SeparationController::postDataFunc(QByteArray& body)
{
    body += SeparationSearch::storesPiece(m_host->checkedStoreRows(), m_host->storeIds());
    qDebug() << "Query OrderID Url:" << Config::url_query_order_importphoto;
    qDebug() << "Query OrderID Paras:" << body;
    post("queryCallBack", Config::url_query_order_importphoto, body);
}

void SeparationController::queryCallBack(const WebService::Reply& reply)
{
    if (m_closed)
        return;
    const Prompts::StandardButton button = m_layout.searchBoxButton;
    switch (reply.kind) {
    case WebService::Reply::Kind::TransportError:
        Prompts::information(nullptr, QStringLiteral("警告"), WebService::transportErrorText(reply), button,
                             button);
        break;
    case WebService::Reply::Kind::NotJsonObject:
        break;
    case WebService::Reply::Kind::Refusal:
        Prompts::information(nullptr, QStringLiteral("警告"), QStringLiteral("检索错误：") + reply.code, button,
                             button);
        break;
    case WebService::Reply::Kind::Success:
        qDebug().noquote() << "query order Json:" << QJsonDocument(reply.object).toJson(QJsonDocument::Indented);
        orderList = ordersFromListReply(reply.object, m_layout.fill);
        for (const order& o : qAsConst(orderList))
            qDebug() << "store_picpath" << o.picpath;
        m_host->refreshOrderList();
        if (orderList.isEmpty())
            Prompts::information(nullptr, QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"), button,
                                 button);
        break;
    }
    m_host->setSearching(false);
}

// --- Start of a run ------------------------------------------------------------

void SeparationController::startRequested(const QString& pathText)
{
    if (isSeparating || SeparationRunGuard::isBusy()) {
        busyBox();
        return;
    }
    if (!OrderTableCheck::anyChecked(orderList)) {
        runBox(QString(), QStringLiteral("请选择订单"));
        return;
    }
    // An empty field passes: the goods reply asks for the folder per order.
    if (!pathText.isEmpty() && !FileOperation::isDirExist(pathText)) {
        runBox(QStringLiteral("警告"), QStringLiteral("分件路径不存在"));
        return;
    }
}

// --- Goods query ---------------------------------------------------------------

void SeparationController::postQueryProducts(QString orderId)
{
    m_currentOrderId = orderId;
    const QByteArray body = SeparationRequests::goodsBody(orderId, m_layout.goodsIsQu);
    qDebug() << "query product Url:" << Config::url_query_pro;
    qDebug() << "query product Paras:" << body;
    post("queryProductsCallBack", Config::url_query_pro, body);
}

void SeparationController::queryProductsCallBack(const WebService::Reply& reply)
{
    if (m_closed)
        return;
    if (runReplyFailed(reply, QStringLiteral("查询产品信息错误："))) {
        stopRun();
        return;
    }
    QJsonObject object = reply.object;
    object.remove(QStringLiteral("code"));
    expressHtmlString = m_expressHtml.getHtmlString(object);

    const ProductPlan::OrderValues values{Config::orderpayforkey, Config::order_customer,
                                          Config::order_getphotodate, Config::order_role11};
    const ProductPlan::Plan plan =
        ProductPlan::plan(reply.object, m_layout.goodsForm, Config::isshow_subproduct, values);
    productMessageList = plan.messages;
    ProductData::m_products = plan.products;

    SeparationHost::RunDisplay hidden = m_display;
    hidden.labelVisible = false;
    hidden.boxVisible = false;
    showRun(hidden);

    const QString folder = settleOutputFolder();
    if (folder.isEmpty()) {
        stopRun();
        return;
    }
    saveFilepath = folder;
    ProductData::localSavePath = folder;
    startSeparatePhotos();
}

QString SeparationController::settleOutputFolder()
{
    QString folder = m_host->outputFolderText();
    if (folder.isEmpty())
        folder = m_host->chooseFolder();
    if (folder.isEmpty())
        return QString();
    FileOperation::writeToDAT(QStringLiteral("path_separatePhotos.dat"), {folder}, true);
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
}

void SeparationController::setProducts(QList<Product> products)
{
    orderProducts = products;
    const ProductPlan::Summary summary = ProductPlan::summarize(products, ProductData::m_products);
    productPhotoNum = summary.productPhotoNum;
    productsUrgentState = summary.urgentState;
}

void SeparationController::startSeparatePhotos()
{
    // The copies of the order follow in the run.
}

void SeparationController::stopRun()
{
    isSeparating = false;
    for (order& o : orderList) {
        if (o.order_photo_id == m_currentOrderId)
            o.isDone = false;
    }
    m_guard.end();
}

void SeparationController::showRun(const SeparationHost::RunDisplay& display)
{
    m_display = display;
    m_host->showRun(display);
}

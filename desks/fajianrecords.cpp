#include "fajianrecords.h"

#include "config.h"
#include "formbody.h"
#include "orderrecords.h"
#include "webservice.h"

#include <QJsonDocument>

namespace {

using WebService::text;

FaJianLeftData orderFrom(const QJsonObject& o)
{
    FaJianLeftData l;
    l.orderpayforkey = text(o, "orderpayforkey");
    l.name = FaJian::customerName(text(o, "mname"), text(o, "wname"));
    l.order_price = text(o, "order_price");
    l.sheji = text(o, "sheji");
    l.shejitime = text(o, "shejitime");
    l.orderid = text(o, "orderid");
    return l;
}

FaJianRightData productFrom(const QJsonObject& o)
{
    FaJianRightData p;
    p.orderid = text(o, "orderid");
    p.id = text(o, "id");
    p.goodname = text(o, "goodname");
    p.goodtypeid = text(o, "goodtypeid");
    p.goodsizename = text(o, "goodsizename");
    p.goodtype = text(o, "goodtype");
    p.number = text(o, "number");
    p.pnumber = text(o, "pnumber");
    p.isurgent = text(o, "isurgent");
    p.descr = text(o, "descr");
    p.printshopname = text(o, "printshopname");
    p.factoryname = text(o, "factoryname");
    p.sendToFactoryTime2 = text(o, "sendToFactoryTime2");
    p.sendToPrintshopTime2 = text(o, "sendToPrintshopTime2");
    p.goodsizename2 = p.goodsizename;
    p.isLoaded = true;
    return p;
}

FormBody identity(bool uidFirst)
{
    FormBody body;
    body.add("token", Config::token);
    if (uidFirst)
        body.add("uid", Config::manager_id);
    body.add("shopid", Config::shop_id).add("superid", Config::super_id);
    return body;
}

} // namespace

QString FaJian::customerName(const QString& mname, const QString& wname)
{
    return joinNonEmpty({mname, wname}, QStringLiteral("/"));
}

FaJianLeftData FaJian::orderFromSearch(const QJsonObject& item)
{
    FaJianLeftData l = orderFrom(item);
    l.getphotodate = text(item, "getphotodate");
    l.urgentdate = text(item, "urgentdate");
    return l;
}

FaJianLeftData FaJian::orderFromScan(const QJsonObject& order)
{
    return orderFrom(order);
}

void FaJian::addOrder(QList<FaJianLeftData>& list, const FaJianLeftData& entry)
{
    for (const FaJianLeftData& existing : list) {
        if (existing.orderpayforkey == entry.orderpayforkey)
            return;
    }
    list.append(entry);
}

QList<PrintShopsData> FaJian::printShopsFrom(const QJsonArray& array, bool withChoosePrompt)
{
    QList<PrintShopsData> shops;
    if (withChoosePrompt)
        shops.append({QStringLiteral("0"), QString(), QStringLiteral("请选择"), QString()});
    for (const QJsonValue& v : array)
        shops.append({text(v.toObject(), "id"), QString(), text(v.toObject(), "name"), QString()});
    return shops;
}

QList<FactorysData> FaJian::factorysFrom(const QJsonArray& array, bool withChoosePrompt)
{
    QList<FactorysData> factories;
    if (withChoosePrompt)
        factories.append({QString(), QStringLiteral("0"), QStringLiteral("请选择"), QString(), QString()});
    for (const QJsonValue& v : array)
        factories.append(
            {QString(), text(v.toObject(), "id"), text(v.toObject(), "name"), QString(), QString()});
    return factories;
}

QList<FaJianRightData> FaJian::productsFrom(const QJsonObject& reply, const QString& requestedOrderId)
{
    const QJsonObject order = reply.value(QLatin1String("order")).toObject();
    QList<FaJianRightData> products;
    for (const char* group : {"ordergoods0", "ordergoods2"}) {
        for (const QJsonValue& v : order.value(QLatin1String(group)).toArray()) {
            products.append(productFrom(v.toObject()));
            if (products.last().orderid.isEmpty())
                products.last().orderid = requestedOrderId;
        }
    }
    if (products.isEmpty()) {
        FaJianRightData placeholder;
        placeholder.orderid = requestedOrderId;
        placeholder.id = QStringLiteral("0");
        placeholder.isLoaded = true;
        products.append(placeholder);
    }
    return products;
}

bool FaJian::isPlaceholder(const QList<FaJianRightData>& products)
{
    return products.size() == 1 && products.first().id == QLatin1String("0");
}

QByteArray FaJian::searchBody(Criterion criterion, const QString& text)
{
    const QString type = QString::number(int(criterion) + 1);
    switch (criterion) {
    case ByPhotoDate:
        return identity(true).add("type", type).add("photodate", text);
    case BySampleDate:
    case ByFetchDate:
        return identity(false).add("type", type).add("uid", Config::manager_id).add("selectphotodate", text);
    case ByAppointmentDate:
        return identity(false).add("type", type).add("selectphotodate", text).add("uid", Config::manager_id);
    case ByOrderNumber:
    case ByName:
    case ByPhone:
        break;
    }
    return identity(true).add("type", type).add("orderpayforkey", text);
}

QByteArray FaJian::orderByIdBody(const QString& orderId)
{
    return FormBody().add("token", Config::token).add("shopid", Config::shop_id).add("orderid", orderId);
}

QByteArray FaJian::productsBody(const QString& orderId)
{
    return FormBody().add("token", Config::token).add("orderid", orderId).add("shopid", Config::shop_id);
}

QJsonObject FaJian::dispatchEntry(const QString& productId, const QString& printShopId,
                                  const QString& factoryId)
{
    return {{QStringLiteral("ordergoodid"), productId},
            {QStringLiteral("printshopid"), printShopId},
            {QStringLiteral("factoryid"), factoryId}};
}

QByteArray FaJian::dispatchBody(const QString& orderId, const QJsonArray& entries)
{
    return FormBody()
        .add("token", Config::token)
        .add("uid", Config::manager_id)
        .add("shopid", Config::shop_id)
        .add("orderid", orderId)
        .add("sendgoodsinfo", QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact)));
}

QStringList FaJian::leftHeaders()
{
    return {QStringLiteral("单号"), QStringLiteral("姓名"), QStringLiteral("价位"), QStringLiteral("设计师"),
            QStringLiteral("设计完成日期")};
}

QStringList FaJian::rightHeaders()
{
    return {QStringLiteral("产品名称"),       QStringLiteral("尺寸"),     QStringLiteral("类别"),
            QStringLiteral("数量"),           QStringLiteral("P数"),      QStringLiteral("发货日期"),
            QStringLiteral("加急取件"),       QStringLiteral("备注"),     QStringLiteral("冲印公司"),
            QStringLiteral("发冲印公司时间"), QStringLiteral("后期工厂"), QStringLiteral("发后期工厂时间"),
            QStringLiteral("打印条码")};
}

QStringList FaJian::leftCells(const FaJianLeftData& o)
{
    return {o.orderpayforkey, o.name, o.order_price, o.sheji, o.shejitime};
}

QStringList FaJian::productCells(const FaJianRightData& p, const FaJianLeftData& order)
{
    const bool urgent = p.isurgent == QLatin1String("1");
    return {p.goodname,
            p.goodsizename,
            p.goodtype,
            p.number,
            p.goodtypeid == QLatin1String("15") ? p.pnumber : QString(),
            urgent ? order.urgentdate : order.getphotodate,
            urgent ? QStringLiteral("是") : QStringLiteral("否"),
            p.descr};
}

QVector<int> FaJian::rightColumnWidths(int tableWidth, int columnCount)
{
    const double w = tableWidth - 15;
    auto part = [w](double share) { return static_cast<int>(share * w); };
    QVector<int> widths = {part(0.133), part(0.073), part(0.073), part(0.073), part(0.073)};
    if (columnCount < 6)
        return widths;
    widths.append(part(0.083));
    if (columnCount < 7)
        return widths;
    widths.append(part(0.073));
    for (int c = 7; c < columnCount; ++c)
        widths.append(c >= 8 && c <= 11 ? 150 : part(0.083));
    return widths;
}

CodeImageInfo FaJian::labelInfo(const FaJianRightData& product, const QString& orderKey,
                                const QString& picturePath, const QString& shopName)
{
    CodeImageInfo info;
    info.title = product.goodname;
    info.subtitle = product.goodsizename;
    info.barCodeImagePath = picturePath;
    info.codeText = product.id + QStringLiteral("  ") + orderKey;
    info.shopName = shopName;
    return info;
}

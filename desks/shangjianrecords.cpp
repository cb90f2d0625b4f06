#include "shangjianrecords.h"

#include "config.h"
#include "formbody.h"
#include "orderrecords.h"
#include "webservice.h"

namespace {

using WebService::text;

QString orderNumber(const QString& orderKey, const QString& serviceCount)
{
    return QStringLiteral("%1-%2").arg(orderKey, serviceCount);
}

ShangJianRightData rightFrom(const QJsonObject& o, const char* first, const char* second, const char* third)
{
    ShangJianRightData r;
    r.orderpayforkey = text(o, "orderpayforkey");
    r.servicetimes = text(o, "servicetimes");
    r.orderNo = orderNumber(r.orderpayforkey, r.servicetimes);
    r.gotodigitalname = text(o, "gotodigitalname");
    r.gotodigitaltime = text(o, "gotodigitaltime").left(10);
    r.customerName = ShangJian::customerName(text(o, first), text(o, second), text(o, third));
    r.selectphotodate = text(o, "selectphotodate");
    r.selectphototime = text(o, "selectphototime").left(10);
    r.selectphotoname = text(o, "selectphotoname");
    r.getphotodate = text(o, "getphotodate");
    r.urgentdate = text(o, "urgentdate");
    r.tiaoxiname = text(o, "tiaoxiname");
    r.tiaosename = text(o, "tiaosename");
    return r;
}

template <typename Entry, typename Same>
void replaceOrAppend(QList<Entry>& list, const Entry& entry, Same same)
{
    bool replaced = false;
    for (Entry& existing : list) {
        if (same(existing)) {
            existing = entry;
            replaced = true;
        }
    }
    if (!replaced)
        list.append(entry);
}

} // namespace

QString ShangJian::customerName(const QString& first, const QString& second, const QString& third)
{
    return joinNonEmpty({first, second, third}, QStringLiteral("-"));
}

ShangJianLeftData ShangJian::leftFromSearch(const QJsonObject& o)
{
    ShangJianLeftData l;
    l.orderpayforkey = text(o, "orderpayforkey");
    l.servicetimes = text(o, "servicetimes");
    l.orderNo = orderNumber(l.orderpayforkey, l.servicetimes);
    l.customerName = customerName(text(o, "bname"), text(o, "wname"), text(o, "mname"));
    l.order_price = text(o, "order_price");
    l.selectphotoname = text(o, "selectphotoname");
    l.twosales = text(o, "twosales");
    l.debt = text(o, "debt");
    l.orderID = text(o, "order_photo_id");
    l.storesname = text(o, "storesname");
    return l;
}

ShangJianRightData ShangJian::rightFromSearch(const QJsonObject& item)
{
    ShangJianRightData r = rightFrom(item, "bname", "wname", "mname");
    r.storesname = text(item, "storesname");
    return r;
}

ShangJianRightData ShangJian::rightFromMark(const QJsonObject& order)
{
    return rightFrom(order, "babyname", "momname", "dadname");
}

void ShangJian::addToLeft(QList<ShangJianLeftData>& list, const ShangJianLeftData& entry)
{
    for (const ShangJianLeftData& existing : list) {
        if (existing.orderNo == entry.orderNo)
            return;
    }
    list.append(entry);
}

void ShangJian::putSearchResult(QList<ShangJianRightData>& list, const ShangJianRightData& entry)
{
    replaceOrAppend(list, entry,
                    [&entry](const ShangJianRightData& e) { return e.orderNo == entry.orderNo; });
}

void ShangJian::putMarkResult(QList<ShangJianRightData>& list, const ShangJianRightData& entry)
{
    if (entry.servicetimes.isEmpty())
        replaceOrAppend(list, entry, [&entry](const ShangJianRightData& e) {
            return e.orderpayforkey == entry.orderpayforkey;
        });
    else
        putSearchResult(list, entry);
}

QByteArray ShangJian::orderNumberBody(const QString& orderKey)
{
    return FormBody()
        .add("token", Config::token)
        .add("superid", Config::super_id)
        .add("shopid", Config::shop_id)
        .add("searchtype", 1)
        .add("keyword", orderKey)
        .add("uid", Config::uid)
        .add("eid", Config::manager_id)
        .add("personid", Config::manager_id);
}

QByteArray ShangJian::criterionBody(int searchType, const QString& keyword)
{
    return FormBody()
        .add("token", Config::token)
        .add("shopid", Config::shop_id)
        .add("searchtype", searchType)
        .add("keyword", keyword)
        .add("superid", Config::super_id)
        .add("uid", Config::uid)
        .add("eid", Config::manager_id)
        .add("personid", Config::manager_id);
}

QByteArray ShangJian::markBody(const QString& orderPhotoId)
{
    // uid is the employee here, not the signed-in user as in the searches.
    return FormBody()
        .add("token", Config::token)
        .add("uid", Config::manager_id)
        .add("shopid", Config::shop_id)
        .add("order_photo_id", orderPhotoId)
        .add("superid", Config::super_id)
        .add("eid", Config::manager_id)
        .add("personid", Config::manager_id);
}

QStringList ShangJian::leftHeaders()
{
    return {QStringLiteral("单号"), QStringLiteral("所属门店"), QStringLiteral("姓名"),
            QStringLiteral("价位"), QStringLiteral("选片师"),   QStringLiteral("二销"),
            QStringLiteral("欠款")};
}

QStringList ShangJian::rightHeaders()
{
    return {QStringLiteral("单号"),         QStringLiteral("所属门店"), QStringLiteral("上件操作人"),
            QStringLiteral("上件日期"),     QStringLiteral("客人姓名"), QStringLiteral("选片时间"),
            QStringLiteral("选片完成时间"), QStringLiteral("选片人"),   QStringLiteral("样后修片师"),
            QStringLiteral("样前对比片"),   QStringLiteral("加急日期"), QStringLiteral("发货日期")};
}

QStringList ShangJian::leftCells(const ShangJianLeftData& e)
{
    return {e.orderNo, e.storesname, e.customerName, e.order_price, e.selectphotoname, e.twosales, e.debt};
}

QStringList ShangJian::rightCells(const ShangJianRightData& e)
{
    return {e.orderNo,      e.storesname,      e.gotodigitalname, e.gotodigitaltime,
            e.customerName, e.selectphotodate, e.selectphototime, e.selectphotoname,
            e.tiaoxiname,   e.tiaosename,      e.urgentdate,      e.getphotodate};
}

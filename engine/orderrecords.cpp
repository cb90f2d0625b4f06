#include "orderrecords.h"

#include "config.h"
#include "fileoperation.h"
#include "webservice.h"

#include <QJsonArray>

QList<Product> ProductData::m_products;
QString ProductData::localSavePath;

namespace {

using WebService::text;

QString pickupTypeText(const QString& pickuptype)
{
    if (pickuptype == QLatin1String("1"))
        return QStringLiteral("快递");
    if (pickuptype == QLatin1String("2"))
        return QStringLiteral("部分");
    return QStringLiteral("自取");
}

} // namespace

QString joinNonEmpty(const QStringList& texts, const QString& separator)
{
    QStringList kept;
    for (const QString& text : texts) {
        if (!text.isEmpty())
            kept << text;
    }
    return kept.join(separator);
}

void takeUpOrder(const order& record)
{
    Config::order_id = record.order_photo_id;
    Config::order_serverNum = record.servicetimes;
    Config::order_cameraman = record.role1;
    Config::order_photodate = record.shotdate;
    Config::order_getphotodate = record.pickuptime;
    Config::order_otherdate = record.photodate2;
    Config::orderpayforkey = record.orderpayforkey;
    Config::order_dresser = record.role2;
    Config::order_customer = record.customer;
    // Sub-folders are joined to it; an empty one stays empty and lists
    // nothing.
    Config::order_path = record.orderpath;
    if (!Config::order_path.isEmpty() && !Config::order_path.endsWith(QLatin1Char('/')))
        Config::order_path += QLatin1Char('/');
    Config::order_phonenumber = record.phone;
    Config::order_role11 = record.role10;
    Config::order_isurgenttime = record.isurgenttime;
    Config::pickuptype = record.pickuptype;
}

QString composeCustomer(const QString& bname, const QString& wname, const QString& mname,
                        OrderListFill::Customer form)
{
    const QString dash = QStringLiteral("-");
    if (form == OrderListFill::Customer::PostSample && !bname.isEmpty() && wname.isEmpty())
        return bname + dash + mname;
    return joinNonEmpty({bname, wname, mname}, dash);
}

QString composePhone(const QString& mphone, const QString& wphone)
{
    return joinNonEmpty({mphone, wphone}, QStringLiteral("/"));
}

order orderFromListItem(const QJsonValue& item, const OrderListFill& fill)
{
    const QJsonObject o = item.toObject();
    const QJsonObject paths = o.value(QLatin1String("picpathnew")).toObject();

    order r;
    r.order_photo_id = text(o, "order_photo_id");
    r.servicetimes = text(o, "servicetimes");
    r.customer = composeCustomer(text(o, "bname"), text(o, "wname"), text(o, "mname"), fill.customer);
    r.phone = composePhone(text(o, "mphone"), text(o, "wphone"));
    r.phototype = text(o, "phototype");
    r.comboname = text(o, "comboname");
    r.order_price = text(o, "order_price");
    r.role1 = text(o, "role1");
    r.role2 = text(o, "role2");
    r.shotdate = text(o, "shotdate");
    r.photodate2 = text(o, "photodate2");
    r.orderpayforkey = text(o, "orderpayforkey");
    r.orderpath = Config::returnPicPath(text(o, "orderpath"));
    r.pickuptime = text(o, "pickuptime");
    r.twosales = text(o, "twosales");
    r.selectphotoname = text(o, "selectphotoname");
    r.role10 = text(o, "role10");
    if (r.role10 == QLatin1String("0"))
        r.role10.clear();
    r.isurgenttime = text(o, "isurgenttime");
    r.pickuptype = pickupTypeText(text(o, "pickuptype"));
    r.orderbaseprice = text(o, "orderbaseprice");
    r.tiaosename = text(o, "tiaosename");
    r.tiaoxiname = text(o, "tiaoxiname");
    r.storesname = text(o, "storesname");
    if (fill.gotoDigitalTime)
        r.gotodigitaltime = text(o, "gotodigitaltime");
    r.bakpicpath = text(paths, "bakpicpath");
    r.homepicpath = text(paths, "homepicpath");
    r.picpath = text(paths, "picpath");

    if (fill.n8Paths) {
        r.n8StorePath = text(paths, "n8path") + QStringLiteral("\\选版服务器\\");
        r.n8OrderPath = text(o, "n8path");
        if (!r.n8OrderPath.isEmpty()) {
            r.n8RelativePath = QString(r.n8OrderPath).remove(r.n8StorePath);
            r.n8SelectedPath = r.n8StorePath + QStringLiteral("[已选]") + r.n8RelativePath;
        }
    }
    return r;
}

QList<order> ordersFromListReply(const QJsonObject& reply, const OrderListFill& fill)
{
    QList<order> orders;
    const QJsonArray data = reply.value(QLatin1String("data")).toArray();
    orders.reserve(data.size());
    for (const QJsonValue& item : data)
        orders.append(orderFromListItem(item, fill));
    return orders;
}

void Product::analysis_goods_paras(QJsonObject goods)
{
    type = text(goods, "type");
    typeIsFour = type == QLatin1String("4");

    goodid = text(goods, "goodid");
    number = text(goods, "number");
    goodname = text(goods, "goodname");
    goodsizename = text(goods, "goodsizename");
    goodtypename = text(goods, "goodtypename");
    if (goodtypename.isEmpty())
        goodtypename = text(goods, "goodtype");

    costing = text(goods, "costing");
    weight = text(goods, "weight");
    servicetime = text(goods, "servicetime");
    id = text(goods, "id");
    descr = text(goods, "descr");

    const QString picpath = text(goods, "picpath");

    isurgent = text(goods, "isurgent");
    goodpnumber = text(goods, "goodpnumber");
    p_num = text(goods, "p_num");
    source_remarks = text(goods, "source_remarks");
    stock = text(goods, "stock");
    goodamount = text(goods, "goodamount");
    goodpagenumber = text(goods, "goodpagenumber");
    goodtypeid = text(goods, "goodtypeid");
    factoryname = text(goods, "factoryname");
    factorykeyx = text(goods, "factorykeyx");
    goodremark = text(goods, "goodremark");
    auth_remark = text(goods, "auth_remark");
    remarks = text(goods, "remarks");

    sentToFactory = text(goods, "sendtofactorytime") != QLatin1String("0");
    isems = text(goods, "isems") == QLatin1String("1");
    if (!picpath.isEmpty())
        photos = picpath.split(QLatin1Char('|'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    isexist = text(goods, "isexist") == QLatin1String("1");

    hasParent = false;
    parentid = text(goods, "parentid");
    hasParent = !parentid.isEmpty() && parentid != QLatin1String("0");

    const QJsonObject addr = goods.value(QLatin1String("orderaddress")).toObject();
    addressId = text(addr, "id");
    province = text(addr, "province");
    provinceid = text(addr, "provinceid");
    city = text(addr, "city");
    cityid = text(addr, "cityid");
    county = text(addr, "county");
    countyid = text(addr, "countyid");
    address = text(addr, "address");
    contactName = text(addr, "name");
    contactPhone = text(addr, "phone");
    postcode = text(addr, "postcode");
}

QString finishReportText(const QList<finishMessage>& messages)
{
    QString report;
    for (const finishMessage& m : messages) {
        const QString missing = m.missingPhotos.join(QStringLiteral("、"));
        const QString unwritten = m.unwrittenFiles.join(QStringLiteral("、"));
        const QString empty = m.emptyProducts.join(QStringLiteral("、"));
        if (missing.isEmpty() && unwritten.isEmpty() && empty.isEmpty() && m.notes.isEmpty() &&
            m.unreadableFolders.isEmpty())
            continue;
        report += QStringLiteral("订单") + m.orderKey + QLatin1Char(':');
        for (const QString& folder : m.unreadableFolders)
            report += QLatin1Char('\n') + FileOperation::unreadableFolderText(folder);
        for (const QString& note : m.notes)
            report += QLatin1Char('\n') + note;
        if (!missing.isEmpty())
            report += QStringLiteral("\n不存在的照片:") + missing;
        if (!unwritten.isEmpty())
            report += QStringLiteral("\n未写入的文件:") + unwritten;
        if (!empty.isEmpty())
            report += QStringLiteral("\n空产品:") + empty;
        report += QStringLiteral("\n\n");
    }
    return report;
}

bool reportNamesFailures(const QList<finishMessage>& messages)
{
    for (const finishMessage& m : messages) {
        if (!m.unwrittenFiles.isEmpty() || !m.unreadableFolders.isEmpty())
            return true;
    }
    return false;
}

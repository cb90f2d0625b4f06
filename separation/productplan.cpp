#include "productplan.h"

#include "config.h"
#include "namecleaning.h"
#include "webservice.h"

#include <QJsonArray>
#include <QJsonValue>

namespace ProductPlan {

namespace {

using WebService::text;

// A service text that becomes part of a folder name.
QString clean(const QString& text)
{
    return Config::sanitizeWithRegex(text);
}

// " <key> <customer> <date>取 <role> 【<delivery>】/": the order part of
// a folder name. sep is the blank between key and customer.
QString orderPart(const Product& product, const OrderValues& order, const QString& sep)
{
    const QString date = product.isurgent == QLatin1String("1")
                             ? clean(product.getgooddate) + QStringLiteral("急")
                             : clean(order.pickupDate);
    return QLatin1Char(' ') + clean(order.orderKey) + sep + clean(order.customer) + QLatin1Char(' ') + date +
           QStringLiteral("取 ") + clean(order.role11) + QStringLiteral(" 【") + product.deliveryMode +
           QStringLiteral("】/");
}

// The folder of one goods line. The design form puts two blanks between
// the key and the customer of a home-made line of "ordergoods2".
ProductMessage lineMessage(const Product& p, bool homemade, bool secondArray, const OrderValues& order)
{
    ProductMessage m;
    m.goodtypename = p.goodtypename;
    m.goodtypeid = p.goodtypeid;
    m.goodname = p.goodname;
    m.folderName = p.folderName;
    m.photos = p.photos;
    const QString part = orderPart(p, order, QStringLiteral(" "));
    if (homemade) {
        m.orderFolder = part;
        m.factoryFolder = clean(p.factoryname) + QLatin1Char('/');
        m.productFolder =
            p.folderName + orderPart(p, order, secondArray ? QStringLiteral("  ") : QStringLiteral(" "));
        m.homemade = QStringLiteral("1");
    } else {
        m.goodamount = p.goodamount;
        m.factoryFolder = clean(p.factoryname) + part;
        m.productFolder =
            p.folderName + QLatin1Char(' ') + clean(p.goodtypename) + QLatin1Char(' ') + clean(p.goodamount) + '/';
        m.homemade = QStringLiteral("0");
    }
    return m;
}

// The design form's folder of one sub-product, inside its parent's.
ProductMessage subProductMessage(const ProductMessage& parent, const Product& parentProduct, const Product& sub,
                                 bool idForm)
{
    ProductMessage m;
    m.orderFolder = parent.orderFolder;
    m.goodtypename = sub.goodtypename;
    m.goodtypeid = sub.goodtypeid;
    m.goodname = sub.goodname;
    m.goodamount = sub.goodamount;
    m.photos = sub.photos;
    m.factoryFolder = parent.factoryFolder;
    m.productFolder = parent.productFolder;
    const QString prefix =
        idForm ? clean(sub.id) + QLatin1Char('#') + parentProduct.goodname + QLatin1Char('_') : QString();
    m.subProductFolder = prefix + sub.goodname + QLatin1Char(' ') + clean(sub.goodtypename) + QLatin1Char(' ') +
                         clean(sub.goodamount) + QLatin1Char('/');
    m.homemade = QStringLiteral("1");
    return m;
}

} // namespace

Product readGoods(const QJsonObject& goods)
{
    Product p;
    p.isurgent = text(goods, "isurgent");
    p.goodid = text(goods, "goodid");
    p.goodname = NameCleaning::productName(text(goods, "goodname"));
    p.goodtypename = text(goods, "goodtypename");
    p.goodtypeid = text(goods, "goodtypeid");
    p.goodsizename = text(goods, "goodsizename");
    p.costing = text(goods, "costing");
    p.weight = text(goods, "weight");
    p.id = text(goods, "id");
    p.getgooddate = text(goods, "getgooddate");
    p.descr = text(goods, "descr");
    p.goodpnumber = text(goods, "goodpnumber");
    p.p_num = text(goods, "p_num");
    p.goodpagenumber = text(goods, "goodpagenumber");
    p.goodamount = text(goods, "goodamount");
    p.factoryname = text(goods, "factoryname");
    const QString picpath = text(goods, "picpath");
    if (!picpath.isEmpty())
        p.photos = picpath.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    p.deliveryMode = text(goods, "isems") == QLatin1String("0") ? QStringLiteral("自取") : QStringLiteral("快递");
    p.auth_remark = text(goods, "auth_remark");
    p.goodremark = text(goods, "goodremark");
    p.hasParent = false;
    return p;
}

QString uniqueName(const QString& name, const QStringList& taken)
{
    if (!taken.contains(name))
        return name;
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1(%2)").arg(name).arg(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

QList<Product> returnSubPro(const QJsonObject& goods, Form form)
{
    QList<Product> subs;
    QStringList names;
    for (const QJsonValue& value : goods.value(QLatin1String("son_good")).toArray()) {
        Product sub = readGoods(value.toObject());
        sub.hasParent = true;
        if (form == Form::Design) {
            sub.goodname = uniqueName(sub.goodname, names);
            names.append(sub.goodname);
        }
        subs.append(sub);
    }
    return subs;
}

Plan plan(const QJsonObject& reply, Form form, const QString& isshowSubproduct, const OrderValues& order)
{
    const bool idForm = form == Form::Design &&
                        text(reply.value(QLatin1String("shop_set")).toObject(), "fenjian_ishaveordergoodid") ==
                            QLatin1String("1");
    const QJsonObject orderObject = reply.value(QLatin1String("order")).toObject();
    Plan result;
    QStringList folderNames;
    for (const char* arrayKey : {"ordergoods0", "ordergoods2"}) {
        const bool secondArray = QLatin1String(arrayKey) == QLatin1String("ordergoods2");
        for (const QJsonValue& value : orderObject.value(QLatin1String(arrayKey)).toArray()) {
            const QJsonObject goods = value.toObject();
            Product product = readGoods(goods);
            const QString unique = uniqueName(product.goodname, folderNames);
            if (idForm && unique == product.goodname)
                product.folderName = clean(product.id) + QLatin1Char('#') + product.goodname;
            else
                product.folderName = unique;
            folderNames.append(product.folderName);
            product.subProducts = returnSubPro(goods, form);
            const bool homemade = text(goods, "ishomemade") == QLatin1String("1");

            if (form == Form::PostSample) {
                result.messages.append(lineMessage(product, homemade, false, order));
            } else {
                const ProductMessage own = lineMessage(product, homemade, secondArray, order);
                if (isshowSubproduct == QLatin1String("0") || text(goods, "parentid") == QLatin1String("0"))
                    result.messages.append(own);
                if (isshowSubproduct == QLatin1String("1")) {
                    for (const Product& sub : qAsConst(product.subProducts))
                        result.messages.append(subProductMessage(own, product, sub, idForm));
                }
            }
            result.products.append(product);
        }
    }
    return result;
}

Summary summarize(const QList<Product>& given, const QList<Product>& current)
{
    Summary summary;
    for (const Product& p : given)
        summary.productPhotoNum += p.photos.size();
    int urgent = 0;
    for (const Product& p : current) {
        if (p.isurgent == QLatin1String("1"))
            ++urgent;
    }
    summary.urgentState = urgent == current.size() ? 1 : urgent > 0 ? 2 : 0;
    return summary;
}

} // namespace ProductPlan

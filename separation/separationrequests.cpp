#include "separationrequests.h"

#include "config.h"
#include "formbody.h"

namespace SeparationRequests {

namespace {

QByteArray encodedList(const QStringList& names)
{
    QList<QByteArray> encoded;
    for (const QString& name : names)
        encoded.append(FormBody::encode(name));
    return encoded.join(QStringLiteral("，").toUtf8());
}

} // namespace

QByteArray goodsBody(const QString& orderId, bool isQu)
{
    FormBody body;
    body.add("token", Config::token)
        .add("order_photo_id", orderId)
        .add("shopid", Config::shop_id)
        .add("superid", Config::super_id)
        .add("personid", Config::manager_id)
        .add("uid", Config::uid);
    if (isQu)
        body.add("is_qu", "1");
    return body.toByteArray();
}

QByteArray picInfoBody(PicInfoForm form, const QString& orderId, const QString& barPath,
                       const QString& imgPath, const QStringList& finishedNames,
                       const QStringList& designNames)
{
    FormBody body;
    body.add("token", Config::token)
        .add("order_photo_id", orderId)
        .add("shopid", Config::shop_id)
        .add("superid", Config::super_id);
    if (form == PicInfoForm::Short)
        return body.toByteArray();
    body.add("companyid", Config::super_id)
        .add("uid", Config::manager_id)
        .add("qrcodepath", barPath)
        .add("imgpath", imgPath)
        .addEncoded("cpimgs", encodedList(finishedNames));
    if (form == PicInfoForm::Design)
        body.addEncoded("sjimgs", encodedList(designNames));
    else
        body.add("isyhfj", "1");
    return body.toByteArray();
}

QByteArray orderDetailBody(const QString& orderId)
{
    return FormBody()
        .add("token", Config::token)
        .add("order_photo_id", orderId)
        .add("shopid", Config::shop_id)
        .add("superid", Config::super_id)
        .add("eid", Config::manager_id)
        .add("uid", Config::uid)
        .add("personid", Config::manager_id)
        .toByteArray();
}

DetailExtras detailExtras(const QJsonObject& reply, const order* listed, const QString& keptQq,
                          const QString& keptWx)
{
    const QJsonObject detail = reply.value(QLatin1String("order")).toObject();
    auto text = [&detail](const char* key) { return detail.value(QLatin1String(key)).toString(); };
    auto pair = [&text](const char* first, const char* second, const QString& kept) {
        const QString a = text(first);
        const QString b = text(second);
        if (!a.isEmpty() && !b.isEmpty())
            return a + QStringLiteral("<BR>") + b;
        return a.isEmpty() && b.isEmpty() ? kept : a + b;
    };
    DetailExtras extras;
    extras.qqText = pair("mqq", "wqq", keptQq);
    extras.wxText = pair("mwx", "wwx", keptWx);
    extras.pickuptype = text("pickuptype");
    extras.consumetypeid = text("consumetypeid");
    extras.twosalesTotal = listed ? listed->twosales : QString();
    extras.sale_payfor = text("sale_payfor");
    // A text that is no whole decimal number counts as 0, and so does a
    // debt beyond what 64 bits hold (a checked subtraction: Qt 5 keeps its
    // qSubOverflow private, and it is this same built-in).
    qint64 debt = 0;
    if (__builtin_sub_overflow(extras.twosalesTotal.toLongLong(), extras.sale_payfor.toLongLong(), &debt))
        debt = 0;
    extras.twosalesDebt = QString::number(debt);
    return extras;
}

QString barcodeUrl(const QString& orderId)
{
    // Query values as a form encodes them, so an id can never add a pair.
    return Config::url_getbarcode + QStringLiteral("&order_photo_id=") +
           QString::fromLatin1(FormBody::encode(orderId)) + QStringLiteral("&shopid=") +
           QString::fromLatin1(FormBody::encode(Config::shop_id)) + QStringLiteral("&superid=") +
           QString::fromLatin1(FormBody::encode(Config::super_id)) + QStringLiteral("&token=") +
           QString::fromLatin1(FormBody::encode(Config::token));
}

} // namespace SeparationRequests

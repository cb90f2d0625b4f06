#include "routes.h"
#include "storeaccess.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QUrl>

// The routes of the separation windows. The store keeps:
//   "shop_set": {shop id: {"fenjian_ishaveordergoodid": "0" or "1"}}
//   "goods":    {order id: {"ordergoods0": [goods lines], "ordergoods2": [...]}}
//   "picmarks": {order id: [{picname, descr, pictype, picx, picy, picwidth, picheight, mark: [texts]}]}
//   "detail":   {order id: {order-detail keys beyond the order's own, "servicetime": [...], "count": ...}}
// An order without goods gets empty arrays.

namespace {

using namespace Store;

// The goods of one order: the shop's setting, the order with its two goods
// arrays, and the order's own texts. The same answer with or without
// "is_qu".
ServiceReply orderGoods(QJsonObject& store, const FormData& form)
{
    const QString shopId = form.value("shopid");
    const int i = orderIndex(store, form.value("order_photo_id"), shopId);
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const QJsonObject order = Routes::texts(orderAt(store, i));
    const QJsonObject goods =
        store.value("goods").toObject().value(text(order.value("order_photo_id"))).toObject();

    QJsonObject orderObject = order;
    for (const char* key : {"ordergoods0", "ordergoods2"})
        orderObject.insert(key, Routes::asText(goods.value(key).toArray()));
    QJsonObject shopSet = Routes::texts(store.value("shop_set").toObject().value(shopId).toObject());
    if (!shopSet.contains("fenjian_ishaveordergoodid"))
        shopSet.insert("fenjian_ishaveordergoodid", "0");

    QJsonObject reply = success(QString());
    reply.insert("shop_set", shopSet);
    reply.insert("order", orderObject);
    reply.insert("order_info", order);
    return ServiceReply::json(reply);
}

// A barcode picture of the order id: bars from its digits, as a JPEG.
QByteArray barcodeImage(const QString& orderId)
{
    QImage image(320, 90, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    int x = 10;
    for (const QChar c : orderId + orderId) {
        const int width = 2 + c.digitValue() % 4;
        painter.fillRect(x, 10, width, 70, Qt::black);
        x += width + 3;
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

ServiceReply barcode(QJsonObject& store, const FormData& form)
{
    const QString orderId = form.value("order_photo_id");
    if (orderIndex(store, orderId, form.value("shopid")) < 0) {
        ServiceReply missing = ServiceReply::refusal("0", QStringLiteral("订单不存在"), 404);
        return missing;
    }
    ServiceReply reply;
    reply.contentType = "image/jpeg";
    reply.body = barcodeImage(orderId);
    return reply;
}

QString htmlEscaped(QString s)
{
    return s.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

// The service's production sheet: a small page naming the order and the
// photos the client listed (a post-sample sheet when asked so).
ServiceReply pictureInfo(QJsonObject& store, const FormData& form)
{
    const QString orderId = form.value("order_photo_id");
    const int i = orderIndex(store, orderId, form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    const QJsonObject order = orderAt(store, i);
    auto names = [&form](const char* key) {
        return form.value(key).split(QStringLiteral("，"), Qt::SkipEmptyParts);
    };
    QString page = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>明细制作单</title></head><body>");
    page += QStringLiteral("<h2>%1 明细制作单%2</h2>")
                .arg(htmlEscaped(text(order.value("orderpayforkey"))),
                     form.contains("isyhfj") ? QStringLiteral("（样后）") : QString());
    page += QStringLiteral("<p>成品：%1</p>").arg(htmlEscaped(names("cpimgs").join(QStringLiteral("、"))));
    page += QStringLiteral("<p>设计：%1</p>").arg(htmlEscaped(names("sjimgs").join(QStringLiteral("、"))));
    page += QStringLiteral("<p>条码：%1</p></body></html>").arg(htmlEscaped(form.value("qrcodepath")));

    QJsonArray marks;
    for (const QJsonValue& v : store.value("picmarks").toObject().value(orderId).toArray()) {
        QJsonObject mark = Routes::texts(v.toObject());
        mark.remove("mark");
        marks.append(mark);
    }
    QJsonObject reply = success(QString());
    reply.insert("html", page);
    reply.insert("orderpicdescr", marks);
    return ServiceReply::json(reply);
}

// The order's detail: its own texts with the detail fixture's, the visits
// and their total, and the marks with their texts.
ServiceReply orderDetail(QJsonObject& store, const FormData& form)
{
    const QString orderId = form.value("order_photo_id");
    const int i = orderIndex(store, orderId, form.value("shopid"));
    if (i < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    QJsonObject order = Routes::texts(orderAt(store, i));
    const QJsonObject detail = store.value("detail").toObject().value(orderId).toObject();
    for (auto it = detail.begin(); it != detail.end(); ++it) {
        if (it.key() != QLatin1String("servicetime") && it.key() != QLatin1String("count_order_sample_infoservicetimes"))
            order.insert(it.key(), Routes::asText(it.value()));
    }
    QJsonObject reply = success(QString());
    reply.insert("order", order);
    reply.insert("servicetime", Routes::asText(detail.value("servicetime").toArray()));
    reply.insert("count_order_sample_infoservicetimes", text(detail.value("count_order_sample_infoservicetimes")));
    reply.insert("orderpicdescr", Routes::asText(store.value("picmarks").toObject().value(orderId).toArray()));
    return ServiceReply::json(reply);
}

} // namespace

QList<Routes::Route> Routes::separationRoutes()
{
    return {
        {"Pelagrine", "order", "ordergoods20230521", Token::Api, orderGoods},
        {"Pelagrine", "order", "getbarcodegen", Token::Api, barcode},
        {"Pelagrine", "order", "getorderpic", Token::Api, pictureInfo},
        {"Pelagrine", "order", "orderdetail", Token::Api, orderDetail},
    };
}

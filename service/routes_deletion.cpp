#include "routes.h"
#include "storeaccess.h"

#include <QDateTime>

// The delete log: every window that deletes order folders reports each
// removed folder here. The store keeps the entries under "delete_log".

namespace {

ServiceReply logDeletion(QJsonObject& store, const FormData& form)
{
    const QString orderId = form.value("orderphotoid");
    if (Store::orderIndex(store, orderId, form.value("shopid")) < 0)
        return ServiceReply::refusal("0", QStringLiteral("订单不存在"));
    Store::appendTo(store, "delete_log",
                    QJsonObject{{"orderphotoid", orderId},
                                {"path", form.value("path")},
                                {"MANAGER_ID", form.value("MANAGER_ID")},
                                {"time", QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss")}});
    return ServiceReply::json(Store::success(QStringLiteral("删除记录已保存")));
}

} // namespace

QList<Routes::Route> Routes::deletionRoutes()
{
    return {
        {"Pelagrine", "OrderPhoto", "order_photo_del", Token::Api, logDeletion},
    };
}

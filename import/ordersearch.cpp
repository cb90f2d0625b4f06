#include "ordersearch.h"

#include "config.h"
#include "formbody.h"

#include <QJsonObject>
#include <QJsonValue>

namespace OrderSearch {

Request requestFor(int index, const QString& typed, const QDate& date)
{
    Request r;
    const QString day = date.toString(QStringLiteral("yyyy-MM-dd"));
    auto keywordSearch = [&](Type type, const QString& keyword, const char* missing) {
        r.type = type;
        if (typed.isEmpty()) {
            r.missingText = QString::fromUtf8(missing);
            return;
        }
        r.keyword = keyword;
        r.valid = true;
    };
    auto dateSearch = [&](Type type) {
        r.type = type;
        r.keyword = day;
        r.valid = true;
    };

    switch (index) {
    case 0:
        keywordSearch(Type::OrderId, typed.trimmed(), "请输入订单号");
        break;
    case 1:
        dateSearch(Type::PhotoDate);
        break;
    case 2:
        dateSearch(Type::SelectPhotoDate);
        break;
    case 3:
        dateSearch(Type::AppointmentDate);
        break;
    case 4:
        dateSearch(Type::FetchPhotoDate);
        break;
    case 5:
        dateSearch(Type::SjDate);
        break;
    case 6:
        keywordSearch(Type::Name, typed, "请输入姓名");
        break;
    case 7:
        keywordSearch(Type::Phone, typed.trimmed(), "请输入电话");
        break;
    default:
        break;
    }
    return r;
}

QByteArray body(Type type, const QString& keyword)
{
    FormBody form;
    form.add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("searchtype"), static_cast<int>(type))
        .add(QStringLiteral("keyword"), keyword)
        .add(QStringLiteral("superid"), Config::super_id);

    const auto uid = [&] { form.add(QStringLiteral("uid"), Config::uid); };
    const auto eid = [&] { form.add(QStringLiteral("eid"), Config::manager_id); };
    const auto personid = [&] { form.add(QStringLiteral("personid"), Config::manager_id); };
    switch (type) {
    case Type::OrderId:
    case Type::FetchPhotoDate:
    case Type::SjDate:
        uid();
        eid();
        personid();
        break;
    case Type::Name:
    case Type::Phone:
        eid();
        personid();
        break;
    case Type::PhotoDate:
    case Type::AppointmentDate:
        eid();
        personid();
        uid();
        break;
    case Type::SelectPhotoDate:
        eid();
        uid();
        break;
    }
    return form.toByteArray();
}

QList<QJsonObject> orderItems(const QJsonArray& data)
{
    QList<QJsonObject> items;
    items.reserve(data.size());
    for (const QJsonValue& v : data)
        items.append(v.toObject());
    return items;
}

QVector<int> columnWidths(int tableWidth)
{
    const double w = tableWidth;
    QVector<int> widths(13);
    if (static_cast<int>(0.13 * w) >= 130) {
        const int c = static_cast<int>(0.13 * w);
        const int d = static_cast<int>(0.11 * w);
        const int tenth = static_cast<int>(0.1 * w);
        widths[0] = c;
        for (int i = 1; i <= 5; ++i)
            widths[i] = tenth;
        widths[6] = c;
        widths[7] = static_cast<int>(0.32 * w);
        widths[8] = d;
        widths[9] = c;
        for (int i = 10; i <= 12; ++i)
            widths[i] = d;
    } else {
        // A table narrower than the first column (while the window is laid
        // out) gets no negative widths.
        const double rest = qMax(0.0, w - 130);
        const int e = static_cast<int>(0.1243 * rest);
        widths[0] = 130;
        widths[1] = static_cast<int>(0.1113 * rest);
        for (int i = 2; i <= 5; ++i)
            widths[i] = static_cast<int>(0.113 * rest);
        widths[6] = e;
        widths[7] = static_cast<int>(0.4 * rest);
        for (int i = 8; i <= 12; ++i)
            widths[i] = e;
    }
    return widths;
}

} // namespace OrderSearch

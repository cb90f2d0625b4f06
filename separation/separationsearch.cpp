#include "separationsearch.h"

#include "config.h"
#include "formbody.h"

#include <QtGlobal>

namespace SeparationSearch {

namespace {

const char* const kCriteria[] = {
    "预约单号",     "姓名",         "电话",         "拍摄日期",   "选片日期",   "预约日期",   "发货日期",
    "选片完成日期", "上件日期",     "取件完成日期", "品管安排日期", "转设计时间", "转数码日期",
};

// The five orders of the body's pairs; storesids follows in every one.
enum Piece { Token, Eid, Shopid, Searchtype, Superid, Keyword, Personid, Uid };
const QVector<Piece> kOrders[5] = {
    {Token, Eid, Shopid, Searchtype, Superid, Keyword, Personid, Uid},
    {Token, Shopid, Searchtype, Eid, Personid, Uid, Superid, Keyword},
    {Token, Shopid, Searchtype, Eid, Superid, Keyword, Personid, Uid},
    {Token, Shopid, Searchtype, Superid, Keyword, Eid, Uid, Personid},
    {Token, Shopid, Searchtype, Superid, Keyword, Eid, Personid, Uid},
};

int pieceOrder(int searchType)
{
    switch (searchType) {
    case 1:
        return 0;
    case 2:
    case 9:
    case 12:
        return 1;
    case 8:
    case 10:
    case 11:
    case 13:
        return 2;
    case 3:
        return 3;
    default:
        return 4;
    }
}

} // namespace

int searchTypeFor(const QString& criterion)
{
    for (int i = 0; i < int(sizeof kCriteria / sizeof *kCriteria); ++i) {
        if (criterion == QString::fromUtf8(kCriteria[i]))
            return i + 1;
    }
    return 0;
}

bool isKeywordSearch(int searchType)
{
    return searchType >= 1 && searchType <= 3;
}

QString missingKeywordText(int searchType)
{
    switch (searchType) {
    case 1:
        return QStringLiteral("请输入订单号");
    case 2:
        return QStringLiteral("请输入姓名");
    case 3:
        return QStringLiteral("请输入电话");
    default:
        return QString();
    }
}

QByteArray body(int searchType, const QString& keyword)
{
    FormBody form;
    for (Piece piece : kOrders[pieceOrder(searchType)]) {
        switch (piece) {
        case Token:
            form.add("token", Config::token);
            break;
        case Eid:
            form.add("eid", Config::manager_id);
            break;
        case Shopid:
            form.add("shopid", Config::shop_id);
            break;
        case Searchtype:
            form.add("searchtype", searchType);
            break;
        case Superid:
            form.add("superid", Config::super_id);
            break;
        case Keyword:
            form.add("keyword", keyword);
            break;
        case Personid:
            form.add("personid", Config::manager_id);
            break;
        case Uid:
            form.add("uid", Config::uid);
            break;
        }
    }
    return form.toByteArray();
}

QByteArray storesPiece(const QList<int>& checkedRows, const QStringList& storeIds)
{
    QStringList ids;
    for (int row : checkedRows) {
        if (row >= 0 && row < storeIds.size())
            ids.append(storeIds.at(row));
    }
    return FormBody(true).add("storesids", ids.join(QLatin1Char(','))).toByteArray();
}

QStringList separationCriteria()
{
    return {QStringLiteral("转数码日期"), QStringLiteral("预约单号"), QStringLiteral("拍摄日期"),
            QStringLiteral("选片日期"),   QStringLiteral("选片完成日期"), QStringLiteral("上件日期"),
            QStringLiteral("预约日期"),   QStringLiteral("发货日期"), QStringLiteral("姓名"),
            QStringLiteral("电话")};
}

QStringList deletionCriteria()
{
    return {QStringLiteral("预约单号"), QStringLiteral("拍摄日期"),     QStringLiteral("选片日期"),
            QStringLiteral("预约日期"), QStringLiteral("发货日期"),     QStringLiteral("取件完成日期"),
            QStringLiteral("姓名"),     QStringLiteral("电话")};
}

QStringList headers()
{
    return {QStringLiteral("分件"),         QStringLiteral("预约单号"),   QStringLiteral("所属门店"),
            QStringLiteral("服务次数"),     QStringLiteral("客人姓名"),   QStringLiteral("摄影师"),
            QStringLiteral("化妆师"),       QStringLiteral("设计师"),     QStringLiteral("样前对比片师"),
            QStringLiteral("样后修片师"),   QStringLiteral("套系"),       QStringLiteral("套系金额"),
            QStringLiteral("订单现售价"),   QStringLiteral("上件日期"),   QStringLiteral("订单路径")};
}

QVector<int> columnWidths(int tableWidth)
{
    const double w = tableWidth;
    QVector<int> widths(15);
    widths[0] = 60;
    if (w * 0.13 >= 130) {
        const double r = w - 60;
        widths[1] = int(r * 0.13);
        for (int c : {2, 4, 5, 6, 7})
            widths[c] = int(r * 0.09);
        widths[3] = int(r * 0.06);
        for (int c = 8; c <= 13; ++c)
            widths[c] = int(r * 0.1);
        widths[14] = int(r * 0.32);
    } else {
        // A table narrower than its first two columns (while the window is
        // laid out) gets no negative widths.
        const double r = qMax(0.0, w - 190);
        widths[1] = 130;
        for (int c : {2, 4, 5, 6})
            widths[c] = int(r * 0.113);
        widths[3] = int(r * 0.06);
        widths[7] = int(r * 0.1243);
        for (int c = 8; c <= 13; ++c)
            widths[c] = int(r * 0.12143);
        widths[14] = int(r * 0.4);
    }
    return widths;
}

} // namespace SeparationSearch

#pragma once

#include "orderrecords.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// The bodies and addresses a separation run sends for the order in work,
// as plain functions over that order's id and Config's identity values,
// and what the run reads of the order detail besides the sheet's values.
// The id is the run's own: Config's current order may be another window's.
namespace SeparationRequests {

// The goods query: token, order_photo_id, shopid, superid, personid, uid,
// and "is_qu" "1" for the forms that ask for it.
QByteArray goodsBody(const QString& orderId, bool isQu);

// The forms of the picture-information body.
enum class PicInfoForm
{
    Design,     // ... qrcodepath, imgpath, cpimgs, sjimgs
    PostSample, // ... qrcodepath, imgpath, cpimgs, then "isyhfj" "1"
    Short,      // token, order_photo_id, shopid, superid only
};
// barPath and imgPath are percent-encoded once; each photo name is encoded
// and the names are joined by the full-width comma "，", left unencoded.
QByteArray picInfoBody(PicInfoForm form, const QString& orderId, const QString& barPath,
                       const QString& imgPath, const QStringList& finishedNames,
                       const QStringList& designNames);

// The order detail: token, order_photo_id, shopid, superid, eid, uid,
// personid.
QByteArray orderDetailBody(const QString& orderId);

// The order-detail values no sheet prints, which the post-sample window
// keeps beside the sheet's.
struct DetailExtras
{
    QString qqText;        // "mqq" and "wqq", "<BR>" between them when both are set
    QString wxText;        // "mwx" and "wwx", likewise
    QString twosalesTotal; // the order list's "twosales" of the order
    QString sale_payfor;
    QString twosalesDebt; // whole numbers only: "1200.50" counts as 0
    QString pickuptype;
    QString consumetypeid;
};
// The values of one successful order-detail reply. qqText and wxText keep
// the given texts when both of their parts are empty; listed is the order
// list's record of the order, or null when the list no longer holds it.
DetailExtras detailExtras(const QJsonObject& reply, const order* listed, const QString& keptQq,
                          const QString& keptWx);

// The barcode image's address for the order (a GET; the token rides in
// the query).
QString barcodeUrl(const QString& orderId);

} // namespace SeparationRequests

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bodies and addresses a separation run sends for the current order,
// as plain functions over Config's identity and current-order values.
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
QByteArray picInfoBody(PicInfoForm form, const QString& barPath, const QString& imgPath,
                       const QStringList& finishedNames, const QStringList& designNames);

// The order detail: token, order_photo_id, shopid, superid, eid, uid,
// personid.
QByteArray orderDetailBody();

// The barcode image's address for the current order (a GET; the token
// rides in the query).
QString barcodeUrl();

} // namespace SeparationRequests

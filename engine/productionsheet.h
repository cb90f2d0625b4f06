#pragma once

#include "image.h"
#include "orderrecords.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// The production sheet (明细制作单) of one order: the paper that goes with
// the order into production. The design, post-sample and N8 separation
// windows lay out the same document with small differences of markup; one
// builder serves all three, told apart by the variant.
//
// The builder is data in, data out: it reads only its SheetInput (no Config,
// DirServer, ImageData or ProductData behind the caller's back), so a window
// gathers the values on its own thread and may hand them on. Besides the
// text it writes the JPEG copies of the order's marked photos and reads the
// sizes of the sheet thumbnails.
enum class SheetVariant
{
    Design,     // the design separation window
    PostSample, // the post-sample separation window
    N8,         // the N8 separation window
};

// Every text the sheet shows, named by its key in the order-detail reply
// (the "order" object) or by its plain name; where a window keeps a value
// under another name, that name follows in brackets. A missing value is the
// empty text; values are stored as the reply gave them.
struct SheetInput
{
    // Title row.
    QString shopname;
    QString barcodeImagePath; // the order's "条形码.jpg" (barPath); set by the window

    // Information grid.
    QString orderNumber;   // the order key of the order being separated
    QString serviceNumber; // its service number
    QString count;
    QString bname, bsex, birthdate; // the baby cells, shown when buildSort is "1"
    QString mname, mphone, wname, wphone;
    QString s2_name, mssid, servershopid, booktime;
    QString photodate, selectphotodate, checktruing, comparedate;
    QString selectionTime;      // "samplestarttime:samplestartmin" (sampleStartTime)
    QString retouchViewingTime; // kanjinxiuarea's "timeTxt" (kanjinxiuareaTime)
    QString layoutViewingTime;  // kanbanarea's "timeTxt" (kanbanareaTime)
    QString booksuccess, wxname, tuiguangname, selectphoto;
    QString yqnumber, goodpnumber, vipphotonumber, yx_number;
    QString role1, role17, role2, mmail;
    QString role3, role16, role4, wmail;
    QString role9name, role6name;
    QString order_price, twosales, dept, pay_type;
    QString tiaose, tiaoxiu, sheji;
    QString getphotodate_html; // also the pick-up date of the normal tables
    QString dispatchTime;      // getphotoarea's "timeTxt" (getphotoareaTime)
    QString buynumber, activenumber, morephotonumber, qualitytime;
    QString recipients, sj_tel;
    QString deliveryAddress; // province, city, county and address joined (fullAddress)
    QString buildSort;       // Config::build_sort; "1" adds the baby cells

    // Requirements.
    QString orderdescr; // with "<BR>" for its line feeds (orderdescrHtml)
    QString consumption_statement;
    // Per marked photo: its file name, then its mark texts ("a-b-number-d-text").
    QList<QStringList> picsMarkArr;

    // Product tables.
    QJsonArray servicetime; // one selection visit per element (servicetimeArray)
    QString count_order_sample_infoservicetimes;
    QString isurgenttime;
    QList<Product> products; // the order's products, sub-products included

    // Gallery, foot and print time.
    QList<Image> selectedPhotos; // file name and mark text of each
    QString shopdisclaimer;
    QString selectphotoname; // the person who selected the photos
    QDateTime printTime;     // invalid: the clock's now

    // Folders, each ending in "/": the sheet thumbnails
    // (DirServer::getWebPageThumbPath) and the order's marked photos
    // (DirServer::getMarkerPath).
    QString thumbFolder;
    QString markFolder;

    // The order-detail values of one successful reply (the caller has
    // checked its "code"), with the values the reply does not carry: the
    // order key and service number of the order being separated, and the
    // selector from the window's order list. The selection time is empty
    // unless both of its parts are set. The barcode path, buildSort,
    // products, photos, folders and print time are left for the caller.
    static SheetInput fromOrderDetail(const QJsonObject& reply, const QString& orderNumber,
                                      const QString& serviceNumber, const QString& selectphotoname);
};

struct SheetResult
{
    QString html;
    // At least one product table was written. The windows keep
    // selectedPhotoTotal as their sheet count only then.
    bool tableWritten = false;
    // The photo total of the last table written (0 when none was).
    int selectedPhotoTotal = 0;
    // The marked-photo copies not written (copyMarkedPhotos).
    QStringList notWritten;
};

namespace ProductionSheet {

// The whole sheet, "<HTML>" to "</HTML>". Never fails: a missing value
// leaves its place empty and a missing picture still gets its element.
// Names and counts have "<" and ">" escaped; the free texts (requirements,
// disclaimer, getphotodate_html, product descr and remarks, mark texts)
// may carry markup such as "<BR>" and go in as they stand. Writes the marked-photo copies through
// copyMarkedPhotos.
SheetResult build(const SheetInput& input, SheetVariant variant);

// Writes a JPEG copy of each marked photo (markFolder + name) into
// thumbFolder + "marks/" under the same name, making that folder when
// missing; an old copy is replaced only by a complete new one. A name that
// is not a plain file name is neither read nor copied, nothing is read
// from a relative markFolder (an order without its folder), and nothing is
// copied while thumbFolder is empty. Returns the decoded size of each
// entry's photo, in list order (0 × 0 when it could not be read). A copy
// that was to be made and is not (its photo there but not read, or the copy
// not saved) is added to notWritten as its target path; a photo that is not
// there is not. Touches only files, so it may run on a pool thread.
QList<QSize> copyMarkedPhotos(const QList<QStringList>& picsMarkArr, const QString& markFolder,
                              const QString& thumbFolder, QStringList* notWritten = nullptr);

} // namespace ProductionSheet

#include "importordermodel.h"

#include "importbookkeeping.h"
#include "webservice.h"

#include "config.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QJsonDocument>

namespace {

using WebService::text;

// The non-empty names joined by "-".
QString joinNonEmpty(const QStringList& names)
{
    QStringList parts;
    for (const QString& name : names) {
        if (!name.isEmpty())
            parts.append(name);
    }
    return parts.join(QLatin1Char('-'));
}

// Seconds since the epoch, sent as decimal text, shown in local time.
QString localBookingTime(const QString& seconds)
{
    bool ok = false;
    qint64 secs = seconds.toLongLong(&ok);
    if (!ok)
        secs = 0;
    return QDateTime::fromSecsSinceEpoch(secs, Qt::LocalTime).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

ImportOrderModel::ImportOrderModel(QObject* parent) : QObject(parent) {}

ImportOrderModel::ImportOrderModel(QJsonObject obj, QObject* parent) : QObject(parent)
{
    OrderID = text(obj, "order_photo_id");
    OrderNum = text(obj, "orderpayforkey");
    OrderType = text(obj, "phototype");
    OrderServNum = text(obj, "servicetimes");
    FinalN8Path = text(obj, "n8path");
    BabyName = text(obj, "bname");
    MomName = text(obj, "wname");
    DadName = text(obj, "mname");
    MomTel = text(obj, "momtel");
    DadTel = text(obj, "dadtel");
    TaoxiName = text(obj, "comboname");
    TaoxiPrice = text(obj, "comboprice");
    OrderPrice = text(obj, "order_price");
    OrderBasePrice = text(obj, "orderbaseprice");
    // The order list names no booked shop of its own; the order number is
    // what the batch import dialog shows beside "预约门店：".
    BookedShop = text(obj, "orderpayforkey");
    MakeDate = text(obj, "gotodigitaltime");
    Bespeakdate = localBookingTime(text(obj, "booktime"));
    TiaoseName = text(obj, "tiaosename");
    TiaoxiName = text(obj, "tiaoxiname");
    Storesname = text(obj, "storesname");
    SjTime = text(obj, "gotodigitaltime");

    SelectPhotoDate = text(obj, "sampledate");
    if (SelectPhotoDate.isEmpty())
        SelectPhotoDate = QStringLiteral("1970-01-01");
    GetPhotoDate = text(obj, "getphotodate");
    PhotoDate = text(obj, "shotdate");
    Photoer = text(obj, "role1");
    Dresser = text(obj, "role2");
    Yindouer = text(obj, "yindouer");
    RawOrderPath = text(obj, "orderpath");
    RawOrderBackupPath = text(obj, "orderbakpicpath");
    OrderPath = Config::returnPicPath(RawOrderPath);
    OrderBackupPath = Config::returnPicPath(RawOrderBackupPath);

    const QJsonObject store = obj.value(QLatin1String("picpathnew")).toObject();
    RawStoreBakpicpath = text(store, "bakpicpath");
    RawStoreHomepicpath = text(store, "homepicpath");
    RawStorePicpath = text(store, "picpath");
    Store_bakpicpath = Config::returnPicPath(RawStoreBakpicpath);
    Store_homepicpath = Config::returnPicPath(RawStoreHomepicpath);
    Store_picpath = Config::returnPicPath(RawStorePicpath);
    RawShopN8path = text(store, "n8path") + QStringLiteral("\\选版服务器");
    Shop_n8path = Config::returnPicPath(RawShopN8path);

    PhotoType = text(obj, "phototype");
    FinePrefix = getOrderName();
    CustName = joinNonEmpty({BabyName, MomName, DadName});

    QString suffix = CustName;
    if (!Photoer.isEmpty())
        suffix += QLatin1Char('-') + Photoer;
    if (!Dresser.isEmpty())
        suffix += QLatin1Char('-') + Dresser;
    suffix = Config::sanitizeWithRegex(suffix.trimmed());
    qDebug().noquote() << QJsonDocument(obj).toJson(QJsonDocument::Compact);
    qDebug().noquote() << "生成的后缀是：" << suffix;
    setFolderSuffix(suffix);
}

QString ImportOrderModel::getOrderName() const
{
    return QStringLiteral("%1-%2").arg(OrderNum, OrderServNum);
}

QStringList ImportOrderModel::getImgNameLst(QStringList paths, ImportTypeEnum type) const
{
    QStringList names;
    names.reserve(paths.size());
    for (const QString& path : paths) {
        const QString name = QDir(path).dirName();
        const QStringList parts = name.split(QLatin1Char('.'), Qt::KeepEmptyParts);
        const QString ext = QLatin1Char('.') + parts.last();
        // Empty leading parts vanish: ".hidden.jpg" has the base "hidden".
        QString base;
        for (int i = 0; i < parts.size() - 1; ++i) {
            if (base.isEmpty())
                base = parts.at(i);
            else
                base += QLatin1Char('.') + parts.at(i);
        }

        auto withSuffix = [&](const QString& suffix) {
            return suffix.isEmpty() ? base + ext : base + QLatin1Char('-') + suffix + ext;
        };
        switch (type) {
        case ImportOriginal:
            names.append(withSuffix(OriPrefixImage));
            break;
        case ImportFinished:
            names.append(withSuffix(FinePrefixImage));
            break;
        case ImportDesign:
            names.append(withSuffix(DesignPrefixImage));
            break;
        case ImportTrialVideo:
        case ImportRetouchedVideo:
            names.append(name);
            break;
        default:
            names.append(base);
            break;
        }
    }
    return names;
}

QString ImportOrderModel::serverFormOrderPath() const
{
    return ImportBookkeeping::serverFormPath(OrderPath, Store_picpath, RawStorePicpath, RawOrderPath);
}

QString ImportOrderModel::serverFormOrderBackupPath() const
{
    return ImportBookkeeping::serverFormPath(OrderBackupPath, Store_bakpicpath, RawStoreBakpicpath,
                                             RawOrderBackupPath);
}

QStringList ImportOrderModel::chosenFiles(ImportTypeEnum type) const
{
    switch (type) {
    case ImportOriginal:
        return OriImgLst;
    case ImportFinished:
        return FineImgLst;
    case ImportDesign:
        return DesignImgLst;
    case ImportTrialVideo:
        return VideoLst;
    case ImportRetouchedVideo:
        return VideoFinalLst;
    case ImportN8:
        break;
    }
    return {};
}

void ImportOrderModel::setChosenFiles(ImportTypeEnum type, const QStringList& files)
{
    switch (type) {
    case ImportOriginal:
        OriImgLst = files;
        break;
    case ImportFinished:
        FineImgLst = files;
        break;
    case ImportDesign:
        DesignImgLst = files;
        break;
    case ImportTrialVideo:
        VideoLst = files;
        break;
    case ImportRetouchedVideo:
        VideoFinalLst = files;
        break;
    case ImportN8:
        break;
    }
}

bool ImportOrderModel::isImported(ImportTypeEnum type) const
{
    switch (type) {
    case ImportOriginal:
        return IsOriImported;
    case ImportFinished:
        return IsFineImported;
    case ImportDesign:
        return IsDesignImported;
    case ImportTrialVideo:
        return IsVideoImported;
    case ImportRetouchedVideo:
        return IsVideoFinalImported;
    case ImportN8:
        return isN8Imported;
    }
    return false;
}

void ImportOrderModel::setImported(ImportTypeEnum type, bool imported)
{
    switch (type) {
    case ImportOriginal:
        IsOriImported = imported;
        break;
    case ImportFinished:
        IsFineImported = imported;
        break;
    case ImportDesign:
        IsDesignImported = imported;
        break;
    case ImportTrialVideo:
        IsVideoImported = imported;
        break;
    case ImportRetouchedVideo:
        IsVideoFinalImported = imported;
        break;
    case ImportN8:
        isN8Imported = imported;
        break;
    }
}

unsigned short ImportOrderModel::foundCount(ImportTypeEnum type) const
{
    switch (type) {
    case ImportOriginal:
        return ImportOriImgCount;
    case ImportFinished:
        return ImportFineImgCount;
    case ImportDesign:
        return ImportDesignImgCount;
    case ImportTrialVideo:
        return ImportVideoCount;
    case ImportRetouchedVideo:
        return ImportVideoFinalCount;
    case ImportN8:
        break;
    }
    return 0;
}

void ImportOrderModel::setFoundCount(ImportTypeEnum type, unsigned short count)
{
    switch (type) {
    case ImportOriginal:
        ImportOriImgCount = count;
        break;
    case ImportFinished:
        ImportFineImgCount = count;
        break;
    case ImportDesign:
        ImportDesignImgCount = count;
        break;
    case ImportTrialVideo:
        ImportVideoCount = count;
        break;
    case ImportRetouchedVideo:
        ImportVideoFinalCount = count;
        break;
    case ImportN8:
        break;
    }
}

ImportOrderModel::RunOutcome ImportOrderModel::runOutcome(ImportTypeEnum type) const
{
    return type >= ImportOriginal && type <= ImportRetouchedVideo ? m_outcomes[type] : RunOutcome();
}

void ImportOrderModel::setRunOutcome(ImportTypeEnum type, const RunOutcome& outcome)
{
    if (type >= ImportOriginal && type <= ImportRetouchedVideo)
        m_outcomes[type] = outcome;
}

unsigned short ImportOrderModel::doneCount(ImportTypeEnum type) const
{
    switch (type) {
    case ImportOriginal:
        return HasOriImgCount;
    case ImportFinished:
        return HasFineImgCount;
    case ImportDesign:
        return HasDesignImgCount;
    case ImportTrialVideo:
        return HasVideoCount;
    case ImportRetouchedVideo:
        return HasVideoFinalCount;
    case ImportN8:
        break;
    }
    return 0;
}

void ImportOrderModel::setDoneCount(ImportTypeEnum type, unsigned short count)
{
    switch (type) {
    case ImportOriginal:
        HasOriImgCount = count;
        break;
    case ImportFinished:
        HasFineImgCount = count;
        break;
    case ImportDesign:
        HasDesignImgCount = count;
        break;
    case ImportTrialVideo:
        HasVideoCount = count;
        break;
    case ImportRetouchedVideo:
        HasVideoFinalCount = count;
        break;
    case ImportN8:
        break;
    }
}

QString ImportOrderModel::folderSuffix(ImportTypeEnum type) const
{
    switch (type) {
    case ImportOriginal:
        return OriPrefixFolder;
    case ImportFinished:
        return FinePrefixFolder;
    case ImportDesign:
    case ImportTrialVideo:
    case ImportRetouchedVideo:
        return DesignPrefixFolder;
    case ImportN8:
        break;
    }
    return QString();
}

void ImportOrderModel::setFolderSuffix(ImportTypeEnum type, const QString& text)
{
    if (type == ImportOriginal || type == ImportFinished || type == ImportDesign)
        setFolderSuffix(text);
}

QString ImportOrderModel::imageSuffix(ImportTypeEnum type) const
{
    switch (type) {
    case ImportOriginal:
        return OriPrefixImage;
    case ImportFinished:
        return FinePrefixImage;
    case ImportDesign:
        return DesignPrefixImage;
    default:
        return QString();
    }
}

void ImportOrderModel::setImageSuffix(ImportTypeEnum type, const QString& text)
{
    switch (type) {
    case ImportOriginal:
        OriPrefixImage = text;
        break;
    case ImportFinished:
        FinePrefixImage = text;
        break;
    case ImportDesign:
        DesignPrefixImage = text;
        break;
    default:
        break;
    }
}

void ImportOrderModel::setOrderPrefix(ImportTypeEnum type, const QString& text)
{
    switch (type) {
    case ImportOriginal:
        OriPrefix = text;
        break;
    case ImportFinished:
        FinePrefix = text;
        break;
    case ImportDesign:
        DesignPrefix = text;
        break;
    default:
        break;
    }
}

void ImportOrderModel::setFolderSuffix(const QString& text)
{
    OriPrefixFolder = text;
    FinePrefixFolder = text;
    DesignPrefixFolder = text;
}

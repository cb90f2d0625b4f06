#pragma once

#include "importtypeenum.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

// One order queued for batch import: the order's data from one element of
// the order-list reply, the files and naming texts the user chose for it,
// and the counts and flags of its import runs. Data only; the import worker
// and the batch import dialog do the work.
//
// Ownership. Models are handed between windows as raw pointers
// (SearchOrderWindow::addSelectOrderSigl). A model made by the search window
// has no parent and belongs to that window until a receiver adopts it by
// giving it a parent (QObject::setParent) in the slot that receives it; from
// then on the receiver decides when it is deleted. A receiver that does not
// keep a model (a duplicate, say) leaves it parentless and the search window
// deletes it when it closes. See SearchOrderWindow.
//
// No locking: the one running import worker reads the paths, names and lists
// and may store the order folders it creates, while the user-interface thread
// uses the same object; whoever changes a model during its import keeps the
// worker's reads consistent.
class ImportOrderModel : public QObject
{
    Q_OBJECT
public:
    // An empty model: every text and list empty, every count 0, every flag false.
    explicit ImportOrderModel(QObject* parent = nullptr);
    // A model from one element of the order-list reply.
    ImportOrderModel(QJsonObject obj, QObject* parent);
    ~ImportOrderModel() override = default;

    // "<order number>-<service count>": the order's identity in the batch
    // import dialog and the base of its folder name.
    QString getOrderName() const;
    // The target file names for the given source paths, one per path and in
    // the same order.
    QStringList getImgNameLst(QStringList paths, ImportTypeEnum type) const;

    // The order folder and the backup folder in the web service's own form:
    // the local store root replaced by the store root as the web service sent
    // it when the folder lies below it, otherwise the path as the order list
    // gave it.
    QString serverFormOrderPath() const;
    QString serverFormOrderBackupPath() const;

    // The values of one import type, for the code that works on whichever
    // type is current. Prefixes and suffixes exist for types 0 to 2 (the
    // folder suffix of the video types is the design one); lists and counts
    // for types 0 to 4; an N8 order has only its imported flag.
    QStringList chosenFiles(ImportTypeEnum type) const;
    void setChosenFiles(ImportTypeEnum type, const QStringList& files);
    bool isImported(ImportTypeEnum type) const;
    void setImported(ImportTypeEnum type, bool imported);
    // The files found in the type's folder, and the files the last run imported.
    unsigned short foundCount(ImportTypeEnum type) const;
    void setFoundCount(ImportTypeEnum type, unsigned short count);
    unsigned short doneCount(ImportTypeEnum type) const;
    void setDoneCount(ImportTypeEnum type, unsigned short count);
    // What the last run of a type left to tell (types 0 to 4): the files
    // that were not imported whole, and a completion report the web service
    // never received, with the counts it carries (what the run committed),
    // to be sent again. When the folders could not be counted after the run
    // (countsUnread), the report waits until they can be.
    struct RunOutcome
    {
        int failed = 0;
        bool reportPending = false;
        int serverCount = 0;
        int backupCount = 0;
        bool countsUnread = false;
        QString reportStatus; // what the owed report's last send met, for a box that names it
        QStringList videos;   // the videos the report lists (types 3 and 4)
    };
    RunOutcome runOutcome(ImportTypeEnum type) const;
    void setRunOutcome(ImportTypeEnum type, const RunOutcome& outcome);

    QString folderSuffix(ImportTypeEnum type) const;
    void setFolderSuffix(ImportTypeEnum type, const QString& text);
    QString imageSuffix(ImportTypeEnum type) const;
    void setImageSuffix(ImportTypeEnum type, const QString& text);
    void setOrderPrefix(ImportTypeEnum type, const QString& text);

    QString getOrderID() const { return OrderID; }
    QString getOrderNum() const { return OrderNum; }
    QString getStoresname() const { return Storesname; }
    QString getOrderType() const { return OrderType; }
    QString getOrderServNum() const { return OrderServNum; }
    QString getCustName() const { return CustName; }
    QString getBabyName() const { return BabyName; }
    QString getMomName() const { return MomName; }
    QString getDadName() const { return DadName; }
    QString getTaoxiName() const { return TaoxiName; }
    QString getTaoxiPrice() const { return TaoxiPrice; }
    QString getOrderPrice() const { return OrderPrice; }
    QString getOrderBasePrice() const { return OrderBasePrice; }
    QString getBespeakdate() const { return Bespeakdate; }
    QString getBookedShop() const { return BookedShop; }
    QString getMakeDate() const { return MakeDate; }
    QString getPhotoDate() const { return PhotoDate; }
    QString getSelectPhotoDate() const { return SelectPhotoDate; }
    QString getPhotoer() const { return Photoer; }
    QString getDresser() const { return Dresser; }
    QString getYindouer() const { return Yindouer; }
    QString getPhotoType() const { return PhotoType; }
    QString getTiaoseName() const { return TiaoseName; }
    QString getTiaoxiName() const { return TiaoxiName; }
    QString getSjTime() const { return SjTime; }

    QString getOrderPath() const { return OrderPath; }
    void setOrderPath(const QString& path) { OrderPath = path; }
    QString getOrderBackupPath() const { return OrderBackupPath; }
    void setOrderBackupPath(const QString& path) { OrderBackupPath = path; }

    QString getStore_bakpicpath() const { return Store_bakpicpath; }
    QString getStore_homepicpath() const { return Store_homepicpath; }
    QString getStore_picpath() const { return Store_picpath; }

    QString getOriPrefix() const { return OriPrefix; }
    void setOriPrefix(const QString& text) { OriPrefix = text; }
    QString getOriPrefixFolder() const { return OriPrefixFolder; }
    // The folder suffix is one text for every import type: each of the three
    // setters sets all three.
    void setOriPrefixFolder(const QString& text) { setFolderSuffix(text); }
    QString getOriPrefixImage() const { return OriPrefixImage; }
    void setOriPrefixImage(const QString& text) { OriPrefixImage = text; }

    QString getFinePrefix() const { return FinePrefix; }
    void setFinePrefix(const QString& text) { FinePrefix = text; }
    QString getFinePrefixFolder() const { return FinePrefixFolder; }
    void setFinePrefixFolder(const QString& text) { setFolderSuffix(text); }
    QString getFinePrefixImage() const { return FinePrefixImage; }
    void setFinePrefixImage(const QString& text) { FinePrefixImage = text; }

    QString getDesignPrefix() const { return DesignPrefix; }
    void setDesignPrefix(const QString& text) { DesignPrefix = text; }
    QString getDesignPrefixFolder() const { return DesignPrefixFolder; }
    void setDesignPrefixFolder(const QString& text) { setFolderSuffix(text); }
    QString getDesignPrefixImage() const { return DesignPrefixImage; }
    void setDesignPrefixImage(const QString& text) { DesignPrefixImage = text; }

    QStringList getOriImgLst() const { return OriImgLst; }
    void setOriImgLst(const QStringList& list) { OriImgLst = list; }
    QStringList getFineImgLst() const { return FineImgLst; }
    void setFineImgLst(const QStringList& list) { FineImgLst = list; }
    QStringList getDesignImgLst() const { return DesignImgLst; }
    void setDesignImgLst(const QStringList& list) { DesignImgLst = list; }
    QStringList getVideoLst() const { return VideoLst; }
    void setVideoLst(const QStringList& list) { VideoLst = list; }
    QStringList getVideoFinalLst() const { return VideoFinalLst; }
    void setVideoFinalLst(const QStringList& list) { VideoFinalLst = list; }

    unsigned short getImportOriImgCount() const { return ImportOriImgCount; }
    void setImportOriImgCount(const unsigned short& count) { ImportOriImgCount = count; }
    unsigned short getImportFineImgCount() const { return ImportFineImgCount; }
    void setImportFineImgCount(const unsigned short& count) { ImportFineImgCount = count; }
    unsigned short getImportDesignImgCount() const { return ImportDesignImgCount; }
    void setImportDesignImgCount(const unsigned short& count) { ImportDesignImgCount = count; }
    unsigned short getImportVideoCount() const { return ImportVideoCount; }
    void setImportVideoCount(const unsigned short& count) { ImportVideoCount = count; }
    unsigned short getImportVideoFinalCount() const { return ImportVideoFinalCount; }
    void setImportVideoFinalCount(const unsigned short& count) { ImportVideoFinalCount = count; }

    unsigned short getHasOriImgCount() const { return HasOriImgCount; }
    void setHasOriImgCount(const unsigned short& count) { HasOriImgCount = count; }
    unsigned short getHasFineImgCount() const { return HasFineImgCount; }
    void setHasFineImgCount(const unsigned short& count) { HasFineImgCount = count; }
    unsigned short getHasDesignImgCount() const { return HasDesignImgCount; }
    void setHasDesignImgCount(const unsigned short& count) { HasDesignImgCount = count; }
    unsigned short getHasVideoCount() const { return HasVideoCount; }
    void setHasVideoCount(const unsigned short& count) { HasVideoCount = count; }
    unsigned short getHasVideoFinalCount() const { return HasVideoFinalCount; }
    void setHasVideoFinalCount(const unsigned short& count) { HasVideoFinalCount = count; }

    bool getIsOriImported() const { return IsOriImported; }
    void setIsOriImported(bool done) { IsOriImported = done; }
    bool getIsFineImported() const { return IsFineImported; }
    void setIsFineImported(bool done) { IsFineImported = done; }
    bool getIsDesignImported() const { return IsDesignImported; }
    void setIsDesignImported(bool done) { IsDesignImported = done; }
    bool getIsVideoImported() const { return IsVideoImported; }
    void setIsVideoImported(bool done) { IsVideoImported = done; }
    bool getIsVideoFinalImported() const { return IsVideoFinalImported; }
    void setIsVideoFinalImported(bool done) { IsVideoFinalImported = done; }
    bool getisN8Imported() const { return isN8Imported; }
    void setisN8Imported(bool done) { isN8Imported = done; }

    QString getShop_n8path() const { return Shop_n8path; }
    QString getN8Path() const { return N8Path; }
    void setN8Path(const QString& path) { N8Path = path; }
    QString getFinalN8Path() const { return FinalN8Path; }
    void setFinalN8Path(const QString& path) { FinalN8Path = path; }
    QString getN8FatherPath() const { return N8FatherPath; }
    void setN8FatherPath(const QString& path) { N8FatherPath = path; }

private:
    void setFolderSuffix(const QString& text);

    QString OrderID;
    QString OrderNum;
    QString Storesname;
    QString OrderType;
    QString OrderServNum;
    QString CustName;
    QString BabyName;
    QString MomName;
    QString DadName;
    QString MomTel;
    QString DadTel;
    QString TaoxiName;
    QString TaoxiPrice;
    QString OrderPrice;
    QString OrderBasePrice;
    QString Bespeakdate;
    QString BookedShop;
    QString MakeDate;
    QString PhotoDate;
    QString SelectPhotoDate;
    QString GetPhotoDate;
    QString Photoer;
    QString Dresser;
    QString Yindouer;
    QString PhotoType;
    QString TiaoseName;
    QString TiaoxiName;
    QString SjTime;
    QString OrderPath;
    QString OrderBackupPath;
    QString RawOrderPath;
    QString RawOrderBackupPath;
    QString Store_bakpicpath;
    QString Store_homepicpath;
    QString Store_picpath;
    QString RawStoreBakpicpath;
    QString RawStoreHomepicpath;
    QString RawStorePicpath;
    QString OriPrefix;
    QString OriPrefixFolder;
    QString OriPrefixImage;
    QString FinePrefix;
    QString FinePrefixFolder;
    QString FinePrefixImage;
    QString DesignPrefix;
    QString DesignPrefixFolder;
    QString DesignPrefixImage;
    QStringList OriImgLst;
    QStringList FineImgLst;
    QStringList DesignImgLst;
    QStringList VideoLst;
    QStringList VideoFinalLst;
    unsigned short ImportOriImgCount = 0;
    unsigned short ImportFineImgCount = 0;
    unsigned short ImportDesignImgCount = 0;
    unsigned short ImportVideoCount = 0;
    unsigned short ImportVideoFinalCount = 0;
    unsigned short HasOriImgCount = 0;
    unsigned short HasFineImgCount = 0;
    unsigned short HasDesignImgCount = 0;
    unsigned short HasVideoCount = 0;
    unsigned short HasVideoFinalCount = 0;
    bool IsOriImported = false;
    bool IsFineImported = false;
    bool IsDesignImported = false;
    bool IsVideoImported = false;
    bool IsVideoFinalImported = false;
    bool isN8Imported = false;
    QString RawShopN8path;
    QString Shop_n8path;
    QString N8Path;
    QString FinalN8Path;
    QString N8FatherPath;
    RunOutcome m_outcomes[ImportRetouchedVideo + 1];
};

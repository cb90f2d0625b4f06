#include "importbookkeeping.h"

#include "config.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "formbody.h"
#include "photoimport.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

QString withSlash(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// -1 for a folder that cannot be looked at or listed: a count not read is
// unknown, never 0.
int countMatching(const QString& folder, const QStringList& filters)
{
    if (folder.isEmpty())
        return 0;
    QFileInfoList entries;
    if (!FileOperation::listMatching(folder, filters, QDir::AllEntries | QDir::NoDotAndDotDot, &entries))
        return -1;
    return entries.size();
}

const QStringList kPhotoFilters{QStringLiteral("*.jpg"), QStringLiteral("*.JPG")};
const QStringList kImageFilters{QStringLiteral("*.jpg"), QStringLiteral("*.png"), QStringLiteral("*.jpeg")};
const QStringList kVideoFilters{QStringLiteral("*.mp4"), QStringLiteral("*.avi"), QStringLiteral("*.m4v"),
                                QStringLiteral("*.wmv")};

// An order sub-folder, or empty when the order has no folder: an empty
// order path must never count or list folders relative to the working
// directory.
QString below(const QString& orderPath, const QString& folder)
{
    return orderPath.isEmpty() ? QString() : withSlash(orderPath) + folder;
}

// The counts list no hidden entries.
bool isHiddenName(const QString& fileName)
{
    return fileName.startsWith(QLatin1Char('.'));
}

bool isFolder(const QString& path)
{
    return FileOperation::lookUp(path) == FileOperation::Presence::Folder;
}

} // namespace

namespace ImportBookkeeping {

TypeTexts typeTexts(ImportTypeEnum type)
{
    const QString photos = QStringLiteral("选择照片");
    const QString videos = QStringLiteral("选择视频");
    const auto texts = [](const QString& radio, const QString& name, const QString& select,
                          const QString& videoButton) {
        return TypeTexts{radio, QStringLiteral("导片模式：") + name, name, select, videoButton};
    };
    switch (type) {
    case ImportOriginal:
        return texts(QStringLiteral("导入原片"), QStringLiteral("原片"), photos, QString());
    case ImportFinished:
        return texts(QStringLiteral("导入成品/精修"), QStringLiteral("成品"), photos, QString());
    case ImportDesign:
        return texts(QStringLiteral("导入设计"), QStringLiteral("设计"), photos, QString());
    case ImportTrialVideo:
        return texts(QStringLiteral("试拍视频"), QStringLiteral("试拍视频"), videos,
                     QStringLiteral("更新试拍视频到选片系统"));
    case ImportRetouchedVideo:
        return texts(QStringLiteral("精修视频"), QStringLiteral("精修视频"), videos,
                     QStringLiteral("更新精修视频到选片系统"));
    case ImportN8:
        return texts(QStringLiteral("导入N8"), QStringLiteral("N8"), QStringLiteral("选择N8路径"), QString());
    }
    return {};
}

bool isImageType(ImportTypeEnum type)
{
    return type == ImportOriginal || type == ImportFinished || type == ImportDesign;
}

bool isVideoType(ImportTypeEnum type)
{
    return type == ImportTrialVideo || type == ImportRetouchedVideo;
}

QString importFolder(ImportTypeEnum type)
{
    switch (type) {
    case ImportOriginal:
        return QStringLiteral("照片/");
    case ImportFinished:
        return QStringLiteral("成品/");
    case ImportDesign:
        return QStringLiteral("设计/");
    case ImportTrialVideo:
        return QStringLiteral("试拍视频/");
    case ImportRetouchedVideo:
        return QStringLiteral("精修视频/");
    case ImportN8:
        break;
    }
    return QString();
}

int folderPhotoCount(const QString& folder)
{
    return countMatching(folder, kPhotoFilters);
}

int folderVideoCount(const QString& folder)
{
    return countMatching(folder, kVideoFilters);
}

bool isCountedPhoto(const QString& fileName)
{
    return !isHiddenName(fileName) && QDir::match(kPhotoFilters, fileName);
}

bool isCountedVideo(const QString& fileName)
{
    return !isHiddenName(fileName) && QDir::match(kVideoFilters, fileName);
}

int existingImageCount(const QString& orderPath, ImportTypeEnum type)
{
    QString thumbs;
    QString images;
    switch (type) {
    case ImportOriginal:
        thumbs = QStringLiteral("thumbnail");
        images = QStringLiteral("照片");
        break;
    case ImportFinished:
        thumbs = QStringLiteral("成品缩略图");
        images = QStringLiteral("成品");
        break;
    case ImportDesign:
        thumbs = QStringLiteral("设计缩略图");
        images = QStringLiteral("设计");
        break;
    default:
        return -1;
    }
    // A thumbnail folder that cannot be looked at counts nothing either.
    if (orderPath.isEmpty() || !isFolder(below(orderPath, thumbs)))
        return -1;
    return countMatching(below(orderPath, images), kImageFilters);
}

int existingVideoCount(const QString& orderPath, ImportTypeEnum type)
{
    if (!isVideoType(type) || orderPath.isEmpty())
        return -1;
    const QString folder = below(orderPath, type == ImportRetouchedVideo ? QStringLiteral("精修视频")
                                                                         : QStringLiteral("试拍视频"));
    if (!isFolder(folder))
        return -1;
    return countMatching(folder, kVideoFilters);
}

FolderCounts importCounts(const QString& orderPath, const QString& backupPath, ImportTypeEnum type)
{
    FolderCounts counts;
    switch (type) {
    case ImportOriginal:
    case ImportFinished:
        counts.server = folderPhotoCount(below(orderPath, importFolder(type)));
        counts.backup = folderPhotoCount(below(backupPath, importFolder(type)));
        break;
    case ImportDesign:
        counts.server = folderPhotoCount(below(orderPath, importFolder(type)));
        break;
    case ImportTrialVideo:
    case ImportRetouchedVideo:
        counts.server = folderVideoCount(below(orderPath, importFolder(type)));
        break;
    case ImportN8:
        break;
    }
    return counts;
}

FolderCounts committedCounts(ImportTypeEnum type, const PhotoImport::Result& result)
{
    const bool counted =
        isVideoType(type) ? isCountedVideo(result.targetName) : isCountedPhoto(result.targetName);
    FolderCounts counts;
    counts.server = result.newName && counted ? 1 : 0;
    counts.backup = type == ImportOriginal && result.backupCopy && isCountedPhoto(result.backupName) ? 1 : 0;
    return counts;
}

QString serverFormPath(const QString& local, const QString& localRoot, const QString& rawRoot,
                       const QString& raw)
{
    if (localRoot.isEmpty() || !local.startsWith(localRoot))
        return raw;
    const QString rest = local.mid(localRoot.size());
    // "/photos2/..." does not lie below the root "/photos".
    if (!isSeparator(localRoot.back()) && !rest.isEmpty() && !isSeparator(rest.front()))
        return raw;
    const bool rootEnds = !rawRoot.isEmpty() && isSeparator(rawRoot.back());
    const bool restBegins = !rest.isEmpty() && isSeparator(rest.front());
    if (!rawRoot.isEmpty() && !rest.isEmpty() && !rootEnds && !restBegins)
        return rawRoot + QLatin1Char('/') + rest;
    return rawRoot + rest;
}

bool sendsOrderPathRecord(ImportTypeEnum type, const QString& stage)
{
    return !(isVideoType(type) && stage == QLatin1String("0"));
}

QByteArray orderPathBody(const OrderPathRecord& record)
{
    FormBody body;
    body.add(QStringLiteral("picnumber"), record.picNumber)
        .add(QStringLiteral("picbacknumber"), record.backNumber)
        .add(QStringLiteral("importype"), record.stage)
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("order_photo_id"), record.orderId)
        .add(QStringLiteral("orderpicpath"), record.orderPath)
        .add(QStringLiteral("orderbakpicpath"), record.backupPath)
        .add(QStringLiteral("superid"), Config::super_id)
        .add(QStringLiteral("eid"), Config::manager_id)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("timestamp"), record.timestamp);
    if (isVideoType(record.type)) {
        QStringList paths;
        QStringList names;
        for (const QString& video : record.videos) {
            const QString name = FileOperation::getFileName(video);
            paths.append(record.orderPath + importFolder(record.type) + name);
            names.append(name);
        }
        body.add(QStringLiteral("videopaths"), paths.join(QLatin1Char('|')))
            .add(QStringLiteral("videofiles"), names.join(QLatin1Char('|')));
    }
    const bool known = record.type >= ImportOriginal && record.type <= ImportRetouchedVideo;
    body.add(QStringLiteral("typeid"), known ? int(record.type) : 1);
    return body;
}

QByteArray videoListBody(const QString& orderId, const QString& names, const QString& paths,
                         ImportTypeEnum type, qint64 timestamp)
{
    return FormBody(true)
        .add(QStringLiteral("timestamp"), timestamp)
        .add(QStringLiteral("videopaths"), paths)
        .add(QStringLiteral("videofiles"), names)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("order_photo_id"), orderId)
        .add(QStringLiteral("superid"), Config::super_id)
        .add(QStringLiteral("eid"), Config::manager_id)
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("typeid"), type == ImportRetouchedVideo ? 4 : 3);
}

QByteArray n8PathBody(const QString& orderId, const QString& n8Path)
{
    return FormBody(true)
        .add(QStringLiteral("token"), Config::n8PathToken)
        .add(QStringLiteral("orderphotoid"), orderId)
        .add(QStringLiteral("n8path"), n8Path)
        .add(QStringLiteral("superid"), Config::super_id)
        .add(QStringLiteral("eid"), Config::manager_id)
        .add(QStringLiteral("shopid"), Config::shop_id);
}

QByteArray selectionCheckBody(const QString& orderId)
{
    return FormBody()
        .add(QStringLiteral("token"), Config::token)
        .add(QStringLiteral("shopid"), Config::shop_id)
        .add(QStringLiteral("superid"), Config::super_id)
        .add(QStringLiteral("order_photo_id"), orderId)
        .add(QStringLiteral("eid"), Config::manager_id)
        .add(QStringLiteral("personid"), Config::manager_id)
        .add(QStringLiteral("uid"), Config::uid);
}

Probe probeStoreRoot(const QString& root)
{
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return Probe::Skipped;
    const QString base = withSlash(root) + QStringLiteral("Velmor");
    for (int n = 0; n < 1000; ++n) {
        const QString probe = n == 0 ? base : base + QStringLiteral("-%1").arg(n);
        // A name that cannot be looked at may be anything: it is passed over
        // like a taken one, never made or removed.
        if (FileOperation::lookUpNoFollow(probe) != FileOperation::Presence::Missing)
            continue;
        if (!QDir().mkdir(probe))
            return Probe::Refused;
        QDir().rmdir(probe); // only ever the empty folder just made
        return Probe::Writable;
    }
    return Probe::Refused;
}

QString nextSelectDir(ImportTypeEnum type, const QString& firstChoice)
{
    const QString folder = QFileInfo(firstChoice).absolutePath();
    if (isVideoType(type))
        return folder;
    return QFileInfo(folder).absolutePath();
}

QString n8ParentPath(const QString& folder)
{
    QString parent = QFileInfo(QDir::cleanPath(folder)).absolutePath();
    if (!parent.isEmpty() && isSeparator(parent.back()))
        parent.chop(1);
    return parent;
}

ImportedFolders importedFolders(ImportTypeEnum type)
{
    switch (type) {
    case ImportOriginal:
        return {QStringLiteral("thumbnail100"),
                QStringLiteral("照片"),
                QStringLiteral("照片"),
                {QStringLiteral("照片/"), QStringLiteral("thumbnail/"), QStringLiteral("thumbnail100/"),
                 QStringLiteral("thumbnail2250/")}};
    case ImportFinished:
        return {QStringLiteral("成品缩略图100"),
                QStringLiteral("成品"),
                QStringLiteral("成品"),
                {QStringLiteral("成品/"), QStringLiteral("成品缩略图/"), QStringLiteral("成品缩略图100/"),
                 QStringLiteral("成品缩略图2250/")}};
    case ImportDesign:
        return {QStringLiteral("设计缩略图100"),
                QStringLiteral("设计"),
                QStringLiteral("设计"),
                {QStringLiteral("设计/"), QStringLiteral("设计缩略图/"), QStringLiteral("设计缩略图100/"),
                 QStringLiteral("设计缩略图2250/")}};
    default:
        break;
    }
    return {QStringLiteral("thumbnail100"), QStringLiteral("照片"), QString(), {}};
}

QStringList existingThumbnails(const QString& orderPath, ImportTypeEnum type)
{
    QStringList paths;
    if (orderPath.isEmpty())
        return paths;
    const ImportedFolders folders = importedFolders(type);
    const QString thumbs = below(orderPath, folders.thumbnails);
    const QString images = below(orderPath, folders.images) + QLatin1Char('/');
    const QFileInfoList entries = QDir(thumbs).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (FileOperation::isFileExist(images + entry.fileName()))
            paths.append(entry.filePath());
    }
    return paths;
}

QString plainFileName(const QString& text)
{
    int cut = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (isSeparator(text.at(i)))
            cut = i;
    }
    const QString name = text.mid(cut + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return name;
}

QString videoUpdateQuestion(ImportTypeEnum type, const QString& folder, const QStringList& names)
{
    const bool trial = type != ImportRetouchedVideo;
    if (names.isEmpty()) {
        return folder + (trial ? QStringLiteral("  没有试拍视频， 是否要将<font color=\"red\">选片系统 "
                                                "试拍视频列表</font>列表清空？ ")
                               : QStringLiteral("  没有精修视频， 是否要将<font color=\"red\">选片系统 "
                                                "精修视频列表</font>列表清空？ "));
    }
    QString text =
        trial ? QStringLiteral("是否要将<font color=\"red\">选片系统 试拍视频列表</font>更新为:  <br/> ")
              : QStringLiteral("是否要将<font color=\"red\">选片系统 精修视频列表</font>更新为: <br/>");
    text += QStringLiteral("<font size='18' color='blue'>");
    for (const QString& name : names)
        text += name + QStringLiteral("<br/>");
    text += QStringLiteral("</font>");
    return text;
}

} // namespace ImportBookkeeping

QString ImportBookkeeping::rowStateText(ImportTypeEnum type, bool imported, int found, int failed,
                                        bool reportPending)
{
    if (reportPending)
        return QStringLiteral("上报失败");
    if (imported && failed > 0)
        return QStringLiteral("已导入(%1个失败)").arg(failed);
    if (type == ImportN8)
        return imported ? QStringLiteral("已导入") : QStringLiteral("未导入");
    return found > 0 ? QStringLiteral("已导入(%1)").arg(found) : QStringLiteral("未导入");
}

QString ImportBookkeeping::reportFailureStatus(const WebService::Reply& reply)
{
    if (reply.kind == WebService::Reply::Kind::Refusal) {
        if (!reply.message.isEmpty())
            return reply.message;
        if (!reply.code.isEmpty())
            return reply.code;
    }
    return reply.statusText;
}

namespace {

// The name a box gives an order: its 预约单号, or, where another order of
// that 预约单号 is named in the box or listed beside it, the order as the
// order table names it ("<预约单号>-<服务次数>").
class BoxOrderNames
{
public:
    void named(const QString& orderNumber, const QString& orderName)
    {
        if (!orderName.isEmpty())
            m_names[orderNumber].insert(orderName);
    }
    // The orders listed beside those named, as the order table names them.
    void listed(const QStringList& orderNames)
    {
        for (const QString& name : orderNames) {
            const auto named = m_names.find(name.left(qMax(0, name.lastIndexOf(QLatin1Char('-')))));
            if (named != m_names.end())
                named->insert(name);
        }
    }
    QString operator()(const QString& orderNumber, const QString& orderName) const
    {
        return m_names.value(orderNumber).size() > 1 && !orderName.isEmpty() ? orderName : orderNumber;
    }

private:
    QHash<QString, QSet<QString>> m_names;
};

} // namespace

ImportBookkeeping::Box ImportBookkeeping::batchEndBox(int finishedOrders, bool allFinished, bool diskFull,
                                                      const QList<OrderFailure>& failures,
                                                      const QList<ReportFailure>& reports,
                                                      const QList<SkippedOrder>& beingDeleted,
                                                      const QList<SkippedOrder>& unreadable,
                                                      const QList<PagesArrived>& unfinishedN8,
                                                      const QStringList& listedOrders, const QString& ownKind)
{
    BoxOrderNames nameOf;
    for (const OrderFailure& f : failures)
        nameOf.named(f.orderNumber, f.orderName);
    for (const PagesArrived& p : unfinishedN8)
        nameOf.named(p.orderNumber, p.orderName);
    for (const QList<SkippedOrder>& skipped : {beingDeleted, unreadable}) {
        for (const SkippedOrder& s : skipped)
            nameOf.named(s.orderNumber, s.orderName);
    }
    for (const ReportFailure& r : reports)
        nameOf.named(r.orderNumber, r.orderName);
    nameOf.listed(listedOrders);

    QStringList sections;
    if (diskFull)
        sections.append(QStringLiteral("服务器空间不足，请清理空间后再导入"));
    if (!failures.isEmpty()) {
        QStringList lines{QStringLiteral("以下订单有照片导入失败：")};
        for (const OrderFailure& f : failures) {
            QString line = QStringLiteral("%1：%2张").arg(nameOf(f.orderNumber, f.orderName)).arg(f.files);
            if (!f.unwritableFolder.isEmpty())
                line += QStringLiteral("（写入失败：%1）").arg(f.unwritableFolder);
            if (!f.takenVideos.isEmpty())
                line +=
                    QStringLiteral("（同名视频已存在：%1）").arg(f.takenVideos.join(QStringLiteral("、")));
            lines.append(line);
        }
        sections.append(lines.join(QLatin1Char('\n')));
    }
    if (!unfinishedN8.isEmpty()) {
        QStringList lines{QStringLiteral("以下订单的N8文件夹未导完，请重新导入：")};
        for (const PagesArrived& p : unfinishedN8)
            lines.append(QStringLiteral("%1：已导入%2/%3张")
                             .arg(nameOf(p.orderNumber, p.orderName))
                             .arg(p.arrived)
                             .arg(p.total));
        sections.append(lines.join(QLatin1Char('\n')));
    }
    for (const SkippedOrder& s : beingDeleted)
        sections.append(FoldersInUse::importRefusedText(nameOf(s.orderNumber, s.orderName)));
    for (const SkippedOrder& s : unreadable)
        sections.append(FileOperation::unreadableText() + QStringLiteral("，未导片：") +
                        nameOf(s.orderNumber, s.orderName));
    if (!reports.isEmpty()) {
        // A record named alike twice (the count reports of two runs of an
        // order) is named once. Grouped by what becomes of them, in the
        // order of Afterwards.
        QList<ReportFailure> grouped;
        for (const ReportFailure& r : reports) {
            const bool alike = std::any_of(grouped.cbegin(), grouped.cend(), [&](const ReportFailure& g) {
                return nameOf(g.orderNumber, g.orderName) == nameOf(r.orderNumber, r.orderName) &&
                       g.kind == r.kind && g.httpStatus == r.httpStatus && g.afterwards == r.afterwards;
            });
            if (!alike)
                grouped.append(r);
        }
        std::stable_sort(grouped.begin(), grouped.end(), [](const ReportFailure& a, const ReportFailure& b) {
            return a.afterwards < b.afterwards;
        });
        // Two records of one order are told apart by their kind, and one of
        // another import type than the batch's is told by it.
        QHash<QString, int> perOrder;
        for (const ReportFailure& r : qAsConst(grouped))
            ++perOrder[nameOf(r.orderNumber, r.orderName)];
        QStringList lines{QStringLiteral("以下订单上报失败：")};
        for (int i = 0; i < grouped.size(); ++i) {
            const ReportFailure& r = grouped.at(i);
            const QString order = nameOf(r.orderNumber, r.orderName);
            const bool kindTold =
                !r.kind.isEmpty() && (perOrder.value(order) > 1 || (!ownKind.isEmpty() && r.kind != ownKind));
            const QString named = kindTold ? QStringLiteral("%1（%2）").arg(order, r.kind) : order;
            lines.append(QStringLiteral("%1：%2").arg(
                named, r.httpStatus.isEmpty() ? QStringLiteral("网络错误") : r.httpStatus));
            const QString line = afterwardsLine(r.afterwards);
            if (!line.isEmpty() && (i + 1 == grouped.size() || grouped.at(i + 1).afterwards != r.afterwards))
                lines.append(line);
        }
        sections.append(lines.join(QLatin1Char('\n')));
    }
    if (!sections.isEmpty())
        return {QStringLiteral("警告"), sections.join(QLatin1Char('\n'))};
    if (allFinished)
        return {QStringLiteral("导入完成"), QStringLiteral("%1个订单已经全部导完").arg(finishedOrders)};
    return {};
}

QString ImportBookkeeping::orderInBox(const QString& orderNumber, const QString& orderName,
                                      const QStringList& listedOrders)
{
    BoxOrderNames nameOf;
    nameOf.named(orderNumber, orderName);
    nameOf.listed(listedOrders);
    return nameOf(orderNumber, orderName);
}

ImportBookkeeping::Box ImportBookkeeping::notTakenBox(QList<ReportFailure> failures, Afterwards afterwards,
                                                      const QStringList& listedOrders)
{
    for (ReportFailure& failure : failures)
        failure.afterwards = afterwards;
    return batchEndBox(0, false, false, {}, failures, {}, {}, {}, listedOrders);
}

QString ImportBookkeeping::afterwardsLine(Afterwards afterwards)
{
    switch (afterwards) {
    case Afterwards::SentAgain:
        return QStringLiteral("未上报的记录将在下次导入照片时重新上报，退出软件后不再上报");
    case Afterwards::BatchAgain:
        return QStringLiteral("未上报的记录将在下次批量导片时重新上报，关闭窗口后不再上报");
    case Afterwards::LostAtQuit:
        return QStringLiteral("退出软件后不再上报，请核对以上订单的照片数量");
    case Afterwards::Check:
        return QStringLiteral("请核对以上订单的照片数量");
    case Afterwards::WindowClosed:
        return QStringLiteral("窗口已关闭，以上订单的记录不再上报，请核对照片数量");
    case Afterwards::LeftList:
        return QStringLiteral("订单已移出列表，以上订单的记录不再上报，请核对照片数量");
    case Afterwards::ReImported:
        return QStringLiteral("订单已重新导片，以上订单的记录不再上报，请核对照片数量");
    case Afterwards::Nothing:
        break;
    }
    return QString();
}

#include "importorderthread.h"

#include "config.h"
#include "deletionguard.h"
#include "fileoperation.h"
#include "importordermodel.h"
#include "n8importthread.h"
#include "orderedpipeline.h"
#include "ordertree.h"
#include "photoimport.h"
#include "serverpath.h"
#include "shottime.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString kImportMode = QStringLiteral("importordersphotodlg");
const QString kDeleteMode = QStringLiteral("searchorder");

bool isVideoType(ImportTypeEnum type)
{
    return type == ImportTrialVideo || type == ImportRetouchedVideo;
}

// Files are imported on as many threads as there are cores; the window
// that shows their progress still gets the processor the moment it needs
// it. (Thread priorities mean nothing to the normal scheduler here; a
// thread's nice value does.)
void yieldToTheWindow()
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 5);
}

} // namespace

ImportOrderThread::ImportOrderThread(ImportOrderModel* model, ImportTypeEnum type, QObject* parent)
    : QThread(parent), m_model(model), m_type(type), m_mode(kImportMode)
{
    qDebug() << "thread-start";
    N8FileInfo::registerMetaTypes();
    m_serverRoot = Config::importServPath;
    m_backupRoot = Config::importServBackupPath;
    m_n8Root = N8Import::localPath(Config::importServN8Path);
    m_syncToFinal = Config::isSyncPhotoToFinal == QLatin1String("1");
    if (!model)
        return;

    m_orderName = model->getOrderName();
    m_orderKey = model->getOrderNum();
    m_photoDate = model->getPhotoDate();
    m_orderPath = model->getOrderPath();
    m_backupPath = model->getOrderBackupPath();
    m_folderSuffix = model->folderSuffix(type);
    m_sources = model->chosenFiles(type);
    if (type == ImportN8) {
        m_n8Path = model->getN8Path();
        m_n8FatherPath = model->getN8FatherPath();
        m_n8Recorded = model->getFinalN8Path();
    }
    if (type >= ImportOriginal && type <= ImportRetouchedVideo) {
        m_targetNames = model->getImgNameLst(m_sources, type);
        m_total = ushort(m_sources.size());
        claimOrderFolders(m_orderPath, m_backupPath);
    }

    // Folders made on the user-interface thread land in the model at once;
    // folders made by the running worker are queued to the model's thread.
    connect(this, &ImportOrderThread::orderPathsCreated, model,
            [model](const QString& orderPath, const QString& backupPath) {
                model->setOrderPath(orderPath);
                model->setOrderBackupPath(backupPath);
            });
}

ImportOrderThread::ImportOrderThread(order record, QObject* parent)
    : QThread(parent), m_deleteDir(record.orderpath), m_mode(kDeleteMode), m_orderId(record.order_photo_id)
{
}

ImportOrderThread::~ImportOrderThread()
{
    if (isRunning()) {
        requestInterruption();
        wait();
    }
    qDebug() << "import thread delete";
}

void ImportOrderThread::run()
{
    if (m_mode == kImportMode) {
        if (m_type == ImportN8) {
            import();
            return;
        }
        // The starter's own call has already told why nothing is copied.
        if (m_treeFailed || m_deletionUnderway) {
            m_orderClaim.release();
            m_backupClaim.release();
            return;
        }
        createOrderDir(m_serverRoot, m_backupRoot);
        if (!m_treeFailed && !m_deletionUnderway)
            import();
        m_orderClaim.release();
        m_backupClaim.release();
        // The photos' buffers are freed; hand the memory back to the system
        // instead of keeping it for the next order.
        ::malloc_trim(0);
    } else if (m_mode == kDeleteMode) {
        qDebug() << "deleteDir==" << m_deleteDir;
        startDelete();
    }
}

void ImportOrderThread::treeFailed(TreeFailure failure, const QString& told)
{
    m_treeFailed = true;
    switch (failure) {
    case TreeFailure::ServerRoot:
        emit importImageThreadError(1);
        break;
    case TreeFailure::BackupRoot:
        emit importImageThreadError(2);
        break;
    case TreeFailure::OrderFolderMissing:
        emit checkOrderPicPathSigl();
        break;
    case TreeFailure::DiskFull:
        emit checkDiskSizeSigl(told);
        break;
    case TreeFailure::OrderFolderFault:
        m_orderFolderFault = told;
        emit checkOrderPicPathSigl();
        break;
    }
}

void ImportOrderThread::createOrderDir(QString serverRoot, QString backupRoot)
{
    m_treeFailed = false;
    m_orderFolderFault.clear();
    // Nothing is made for an order whose folder is being deleted.
    if (m_deletionUnderway)
        return;
    QString root = serverRoot.trimmed();
    if (root.isEmpty() || !ServerPath::isUnderMountRoot(root) ||
        (!QFileInfo(OrderTree::withSlash(root)).isDir() && !QDir().mkpath(root))) {
        qDebug() << "服务器路径错误:" << root;
        treeFailed(TreeFailure::ServerRoot);
        return;
    }
    root = OrderTree::withSlash(root);

    // Only unedited camera photos keep a backup copy; the other types go on
    // without a backup root.
    QString backup = backupRoot;
    if (backup.trimmed().isEmpty()) {
        if (m_type == ImportOriginal) {
            treeFailed(TreeFailure::BackupRoot);
            return;
        }
        backup.clear();
    } else {
        backup = OrderTree::withSlash(backup);
        if (!ServerPath::isUnderMountRoot(backup) || (!QFileInfo(backup).isDir() && !QDir().mkdir(backup))) {
            treeFailed(TreeFailure::BackupRoot);
            return;
        }
    }

    qDebug() << "orderpath" << m_orderPath;
    qDebug() << "orderbackpath" << m_backupPath;
    if (!m_orderPath.isEmpty() || !m_backupPath.isEmpty())
        return;

    const OrderTree::Location location = OrderTree::locate(m_orderName, m_folderSuffix, m_photoDate);
    if (!location.isValid()) {
        qDebug() << "拍照日期错误:" << m_photoDate;
        treeFailed(TreeFailure::ServerRoot);
        return;
    }
    qDebug() << "path==" << location.relative;
    qDebug() << "orderName==" << m_orderName;
    qDebug() << "appendName_doc==" << m_folderSuffix;
    const QString orderPath = root + location.relative + QLatin1Char('/');
    const QString backupPath = backup.isEmpty() ? QString() : backup + location.relative + QLatin1Char('/');
    qDebug() << "orderBackupPathCrt===" << backupPath;
    // Registered before anything is made, so no folder is made inside one
    // that is being deleted.
    if (!claimOrderFolders(orderPath, backupPath))
        return;
    const OrderTree::MakeFailure made = OrderTree::build(root, backup, location);
    const FileOperation::Presence presence = FileOperation::lookUp(orderPath);
    if (presence == FileOperation::Presence::Folder) {
        m_orderPath = orderPath;
        m_backupPath = backupPath;
        emit orderPathsCreated(orderPath, backupPath);
        return;
    }
    m_orderClaim.release();
    m_backupClaim.release();
    Config::disk_space = QStringLiteral("no");
    // Told by the make's own error: only a name the share refuses sends
    // staff to the customer's data.
    switch (made.error) {
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        treeFailed(TreeFailure::OrderFolderMissing);
        return;
    case ENOSPC:
    case EDQUOT:
        treeFailed(TreeFailure::DiskFull, made.folder);
        return;
    default:
        break;
    }
    const QString order = QDir::cleanPath(orderPath);
    treeFailed(TreeFailure::OrderFolderFault,
               presence == FileOperation::Presence::Unreadable
                   ? FileOperation::unreadableFolderText(order)
                   : QStringLiteral("目录无法创建：") + (made.error ? made.folder : order));
}

bool ImportOrderThread::claimOrderFolders(const QString& orderPath, const QString& backupPath)
{
    m_orderClaim = FoldersInUse::Claim(orderPath, m_orderKey);
    m_backupClaim = FoldersInUse::Claim(backupPath, m_orderKey);
    if (!m_orderClaim.refused() && !m_backupClaim.refused())
        return true;
    qDebug() << "订单正在删除，不导片" << orderPath << backupPath;
    m_orderClaim.release();
    m_backupClaim.release();
    m_deletionUnderway = true;
    return false;
}

void ImportOrderThread::createN8Dir(QString path)
{
    path = N8Import::localPath(path);
    qDebug() << "创建N8目录" << path;
    // Never beside or above the shares, whatever the web service sent.
    if (!ServerPath::isUnderMountRoot(path)) {
        qDebug() << "创建N8目录2";
        emit importDirN8ThreadError();
        return;
    }
    if (FileOperation::isDirExist(path))
        return;
    qDebug() << "创建N8目录1";
    if (!QDir().mkpath(path)) {
        qDebug() << "创建N8目录2";
        emit importDirN8ThreadError();
    }
}

void ImportOrderThread::stop()
{
    m_stop = true;
}

bool ImportOrderThread::stopRequested() const
{
    return m_stop || isInterruptionRequested();
}

void ImportOrderThread::import()
{
    if (m_type == ImportN8) {
        copyN8DirToSer(m_n8Path);
        return;
    }
    if (m_type < ImportOriginal || m_type > ImportRetouchedVideo)
        return;

    const QStringList sources = m_sources;
    const QStringList names = m_targetNames;
    m_done = 0;
    if (sources.isEmpty() || m_stop)
        return;
    // A file never silently lands nowhere: without its folders the run ends
    // with the root error the dialog already knows how to show.
    if (m_orderPath.isEmpty()) {
        emit importImageThreadError(1);
        return;
    }
    if (m_type == ImportOriginal && m_backupPath.isEmpty()) {
        emit importImageThreadError(2);
        return;
    }

    {
        QMutexLocker lock(&m_failureMutex);
        m_failed = 0;
        m_unwritableFolder.clear();
        m_diskFull = false;
        m_committed = {};
        m_videosInFolder.clear();
        m_takenVideos.clear();
    }
    makeTypeFolders();
    const bool video = isVideoType(m_type);
    const QString orderPath = m_orderPath;
    const QString backupPath = m_backupPath;
    int finished = 0;
    bool diskFullTold = false;
    auto failures = [this](int notImported) {
        QMutexLocker lock(&m_failureMutex);
        return qMakePair(ushort(qMin(m_failed + notImported, 0xFFFF)), m_unwritableFolder);
    };
    // The names of a set in list order, each once.
    auto inListOrder = [&names](const QSet<QString>& set) {
        QStringList ordered;
        for (const QString& name : names) {
            if (set.contains(name) && !ordered.contains(name))
                ordered.append(name);
        }
        return ordered;
    };
    // The end of the run: what it committed, then what did not land.
    auto tellEnd = [this, &failures, &inListOrder](int notImported) {
        ImportBookkeeping::FolderCounts committed;
        QStringList videos;
        QStringList taken;
        {
            QMutexLocker lock(&m_failureMutex);
            committed = m_committed;
            videos = inListOrder(m_videosInFolder);
            taken = inListOrder(m_takenVideos);
        }
        emit importCommittedSigl(committed.server, committed.backup, videos);
        const auto told = failures(notImported);
        emit importFailuresSigl(m_orderName, told.first, told.second, taken,
                                ushort(qMin(notImported, 0xFFFF)));
    };

    OrderedPipeline::Steps steps;
    steps.count = sources.size();
    steps.threads = QThread::idealThreadCount();
    steps.key = [&](int i) { return PhotoImport::orderingKey(names.value(i)); };
    steps.work = [&](int i) {
        yieldToTheWindow();
        if (video)
            copyVideo(orderPath, backupPath, sources.at(i), names.value(i));
        else
            importImage(orderPath, backupPath, sources.at(i), names.value(i));
    };
    steps.stop = [&] { return stopRequested(); };
    steps.done = [&](int) {
        bool diskFull;
        {
            QMutexLocker lock(&m_failureMutex);
            diskFull = m_diskFull;
        }
        if (diskFull && !diskFullTold) {
            // Every following write would fail the same way.
            diskFullTold = true;
            m_stop = true;
            emit checkDiskSizeSigl(failures(0).second);
        }
        ++finished;
        m_done = ushort(finished);
        emit hasImportedImgCount(m_done, m_total);
        if (finished == sources.size()) {
            tellEnd(0);
            emit hasFinishedImportSigl(m_done);
        }
    };
    OrderedPipeline::run(steps);
    if (finished < sources.size()) {
        // Stopped: the files never started are not imported either.
        tellEnd(sources.size() - finished);
    }
}

void ImportOrderThread::makeTypeFolders() const
{
    // An order folder made before (or by another program) may lack some of
    // the type's folders; without them every write of the order would fail.
    // They are made only inside an order folder that exists.
    const PhotoImport::Folders folders = PhotoImport::foldersFor(m_type, m_syncToFinal);
    if (QFileInfo(m_orderPath).isDir()) {
        QStringList names = folders.main;
        names << folders.thumb2250 << folders.thumb1000 << folders.thumb200;
        for (const QString& name : qAsConst(names)) {
            if (!name.isEmpty())
                QDir().mkpath(m_orderPath + name);
        }
    }
    if (m_type == ImportOriginal && QFileInfo(m_backupPath).isDir())
        QDir().mkpath(m_backupPath + QStringLiteral("照片/"));
}

void ImportOrderThread::noteResult(const PhotoImport::Result& result)
{
    const ImportBookkeeping::FolderCounts committed = ImportBookkeeping::committedCounts(m_type, result);
    QMutexLocker lock(&m_failureMutex);
    m_committed.server += committed.server;
    m_committed.backup += committed.backup;
    if (isVideoType(m_type)) {
        if (result.nameTaken)
            m_takenVideos.insert(result.targetName);
        else if (result.mainCopy && !result.isFailure())
            m_videosInFolder.insert(result.targetName);
    }
    if (!result.isFailure())
        return;
    ++m_failed;
    if (m_unwritableFolder.isEmpty() && !result.failed.isEmpty())
        m_unwritableFolder = QFileInfo(result.failed.first()).absolutePath();
    m_diskFull = m_diskFull || result.diskFull;
}

PhotoImport::Request ImportOrderThread::fileRequest(const QString& orderPath, const QString& backupPath,
                                                    const QString& source, const QString& targetName) const
{
    PhotoImport::Request request;
    request.type = m_type;
    request.orderPath = orderPath;
    request.backupPath = backupPath;
    request.source = source;
    request.targetName = targetName;
    request.syncToFinal = m_syncToFinal;
    request.sweptFolders = &m_sweptFolders;
    return request;
}

void ImportOrderThread::importImage(QString orderPath, QString backupPath, QString source, QString targetName)
{
    PhotoImport::Request request = fileRequest(orderPath, backupPath, source, targetName);
    // Every type but camera and finished photos goes to the design folders.
    if (m_type != ImportOriginal && m_type != ImportFinished)
        request.type = ImportDesign;
    noteResult(PhotoImport::importPhoto(request));
}

void ImportOrderThread::copyVideo(QString orderPath, QString backupPath, QString source, QString targetName)
{
    noteResult(PhotoImport::copyVideo(fileRequest(orderPath, backupPath, source, targetName)));
}

bool ImportOrderThread::copyFile(QString source, QString target)
{
    qDebug() << "复制到" << target;
    return FileOperation::copyNewFile(source, target);
}

bool ImportOrderThread::getPicShotTime(QString path, QString& shotTime)
{
    return ShotTime::read(path, shotTime);
}

void ImportOrderThread::copyN8DirToSer(QString dir)
{
    m_n8Files.clear();
    m_n8Walked.clear();
    qDebug() << "N8目录" << dir << m_n8FatherPath << "->" << m_n8Root;
    const N8Import::Refusal refusal = N8Import::check(dir, m_n8Root);
    if (refusal != N8Import::Refusal::None) {
        qDebug() << "N8目录不能导入" << dir << m_n8Root;
        // The starter checked it too: what changed since is the chosen
        // folder, which is named.
        if (refusal == N8Import::Refusal::UnusableSource || refusal == N8Import::Refusal::DestinationInSource)
            m_n8Unusable = dir;
        emit importDirN8ThreadError();
        return;
    }
    const QString toDir = N8Import::destinationRoot(m_n8Root, dir);
    // Decided before anything is made or claimed there: two orders whose
    // chosen folders share a name would otherwise mix their pages in one
    // N8 folder, and both be recorded with it.
    const N8Import::Destination use = m_n8OfBatch.contains(QDir::cleanPath(toDir))
                                          ? N8Import::Destination::Taken
                                          : N8Import::isFreeFor(toDir, dir, m_n8Recorded);
    if (use == N8Import::Destination::Unreadable) {
        qDebug() << "N8目标目录读取失败" << toDir;
        m_n8Unreadable = toDir;
        emit importDirN8ThreadError();
        return;
    }
    if (use == N8Import::Destination::Taken) {
        qDebug() << "N8目标目录已被其他订单使用" << toDir;
        m_n8Taken = toDir;
        emit importDirN8ThreadError();
        return;
    }
    m_n8Claim = QSharedPointer<FoldersInUse::Claim>::create(toDir, m_orderKey);
    if (m_n8Claim->refused()) {
        qDebug() << "N8目标目录正在删除" << toDir;
        m_deletionUnderway = true;
        emit importDirN8ThreadError();
        return;
    }
    if (!FileOperation::isDirExist(toDir) && !FileOperation::makeDir(toDir)) {
        qDebug() << "N8目标目录创建失败" << toDir;
        emit importDirN8ThreadError();
        return;
    }
    // Each file's target is its path with the leading part, the chosen
    // folder's parent, replaced once by the N8 folder: the same place below
    // the destination root as below the chosen folder.
    copyDir(QDir::cleanPath(QFileInfo(dir).absoluteFilePath()), toDir);
}

void ImportOrderThread::copyDir(QString source, QString destination)
{
    m_n8Unreadable.clear();
    copyDir2(source, destination);
    // A walk cut short by closing the dialog hands nothing over.
    if (stopRequested())
        return;
    // Nor does one that could not read a folder: its pages would be missing
    // from a layout recorded as imported.
    if (!m_n8Unreadable.isEmpty()) {
        qDebug() << "N8文件夹读取失败" << m_n8Unreadable;
        emit importDirN8ThreadError();
        return;
    }
    emit startImportDirN8ThreadSigl(m_n8Files, destination);
}

void ImportOrderThread::copyDir2(QString source, QString destination)
{
    if (stopRequested() || !m_n8Unreadable.isEmpty())
        return;
    const QString walked = QFileInfo(source).canonicalFilePath();
    if (walked.isEmpty()) {
        m_n8Unreadable = source;
        return;
    }
    // Reached again through a link: walked once already.
    if (m_n8Walked.contains(walked))
        return;
    m_n8Walked.insert(walked);

    // Hidden entries stay behind; names in the order the user sees them.
    QFileInfoList entries;
    if (!FileOperation::listMatching(source, {}, QDir::AllEntries | QDir::NoDotAndDotDot, &entries)) {
        m_n8Unreadable = source;
        return;
    }
    if (!FileOperation::isDirExist(destination))
        QDir().mkdir(QFileInfo(destination).absoluteFilePath());
    for (const QFileInfo& entry : qAsConst(entries)) {
        if (stopRequested() || !m_n8Unreadable.isEmpty())
            return;
        const QString target = destination + QLatin1Char('/') + entry.fileName();
        // Looked at again, as the share may have dropped since the reading.
        switch (FileOperation::lookUp(entry.filePath())) {
        case FileOperation::Presence::Unreadable:
            m_n8Unreadable = entry.filePath();
            return;
        case FileOperation::Presence::Folder:
            copyDir2(entry.filePath(), target);
            break;
        case FileOperation::Presence::File:
        case FileOperation::Presence::Other:
        case FileOperation::Presence::Missing:
            // A page gone since the reading fails its copy, which names it.
            m_n8Files.append(N8FileInfo(entry.filePath(), target));
            break;
        }
    }
}

void ImportOrderThread::startDelete()
{
    const DeletionGuard::Result verdict = DeletionGuard::check(m_deleteDir);
    if (!verdict.allowed()) {
        qDebug() << "拒绝删除" << m_deleteDir << verdict.reason();
        m_guardRefusal = verdict.reason();
        return;
    }
    // Held until the removal has ended: no import of this process starts
    // in the folder meanwhile.
    const FoldersInUse::Claim deleting(m_deleteDir, QString(), FoldersInUse::Use::Deletion);
    if (deleting.refused()) {
        qDebug() << "正在导片，拒绝删除" << m_deleteDir;
        m_refusedInUse = true;
        return;
    }
    if (FileOperation::lookUp(m_deleteDir) != FileOperation::Presence::Folder)
        return;
    FileOperation::removeFolderContent(m_deleteDir);
    // Gone only when the look-up says the name is not there: a folder that
    // cannot be looked at may still hold every photo.
    const bool gone = FileOperation::lookUpNoFollow(m_deleteDir) == FileOperation::Presence::Missing;
    qDebug() << "isDelete" << (gone ? "true" : "false");
    if (gone)
        emit deleteSucceed(m_orderId, m_deleteDir);
}

bool ImportOrderThread::judgeMemorySize(QString path)
{
    qDebug() << "picSize=" << QFileInfo(path).size();
    qDebug() << "mypicPath=" << path;
    return false;
}

bool ImportOrderThread::judgeDiskSize(long long, QString)
{
    return true;
}

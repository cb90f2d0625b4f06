#include "n8thread.h"

#include "clock.h"
#include "config.h"
#include "fileoperation.h"
#include "n8export.h"
#include "n8sync.h"
#include "separationfiles.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QMetaObject>
#include <QWidget>

namespace {

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Whether path is folder or lies inside it (both canonical).
bool isWithin(const QString& path, const QString& folder)
{
    return !folder.isEmpty() && (path == folder || path.startsWith(folder + QLatin1Char('/')));
}

} // namespace

N8thread::N8thread(QWidget* receiver, QObject* parent) : QThread(parent), receiver(receiver) {}

N8thread::~N8thread()
{
    wait();
}

void N8thread::stopThread()
{
    isStop = true;
}

void N8thread::run()
{
    isStop = false;
    if (mode == QLatin1String("xml")) {
        if (type == 1)
            makeproductxmltxt();
        else if (type == 0)
            makepeoplexmltxt();
    } else if (mode == QLatin1String("write")) {
        writeToFile();
    } else if (mode == QLatin1String("stores")) {
        judgeStorePath();
    } else if (mode == QLatin1String("exportN8result")) {
        exportN8Result();
    }
}

QString N8thread::localN8Path(const QString& n8path)
{
    return Config::localPath(n8path);
}

void N8thread::judgeStorePath()
{
    QJsonArray reachable;
    QString names;
    for (const QJsonValue& element : qAsConst(stores)) {
        const QJsonObject store = element.toObject();
        const QString path = localN8Path(store.value(QStringLiteral("n8path")).toString());
        qDebug().noquote() << "n8path" << quoted(path);
        if (!path.isEmpty() && QFileInfo(path).isDir()) {
            reachable.append(store);
            continue;
        }
        const QString name = store.value(QStringLiteral("name")).toString();
        if (names.isEmpty())
            names = name;
        else
            names += QLatin1Char(',') + name;
    }
    QMetaObject::invokeMethod(receiver, "slt_n8stores", Qt::QueuedConnection, Q_ARG(QJsonArray, reachable),
                              Q_ARG(QString, names));
}

// ---- Staff and product files ----

void N8thread::makepeoplexmltxt()
{
    makeXml(0);
}

void N8thread::makeproductxmltxt()
{
    makeXml(1);
}

void N8thread::makeXml(int listType)
{
    const QString text = N8Sync::xmlDocument(listType, datas, [this] { return isStop.load(); });
    if (text.isNull())
        return;
    sendSyncMessage(QJsonObject{{QStringLiteral("type"), QStringLiteral("数据配置完成")},
                                {QStringLiteral("xmlstr"), text}});
    xmlText = text;
    if (!isStop)
        writeToFile();
}

void N8thread::writeToFile()
{
    const QString fileName = N8Sync::baseName(type) + QStringLiteral(".xml");
    const QByteArray content = xmlText.toUtf8();
    QString errors;
    for (int i = 0; i < stores.size(); ++i) {
        if (isStop)
            return;
        const QJsonObject store = stores.at(i).toObject();
        const QString name = store.value(QStringLiteral("name")).toString();
        const QString n8path = store.value(QStringLiteral("n8path")).toString();
        const bool last = i == stores.size() - 1;
        const QString next =
            last ? QString() : stores.at(i + 1).toObject().value(QStringLiteral("name")).toString();

        // The folder is the store's N8 folder mapped under the mount root,
        // never a path relative to the working folder nor one beside or
        // above the shares: such a store is named, and nothing is made.
        const QString folder = N8Sync::productFolder(n8path);
        if (!folder.isEmpty())
            QDir(QFileInfo(folder).path()).mkdir(QFileInfo(folder).fileName());

        QJsonObject message{{QStringLiteral("type"),
                             last ? QStringLiteral("全部导入成功") : QStringLiteral("门店数据导入成功")},
                            {QStringLiteral("msg"), N8Sync::progressText(type, name, next, last)}};
        bool written = false;
        // One that cannot be looked at may well be there: named as such.
        const FileOperation::Presence found =
            folder.isEmpty() ? FileOperation::Presence::Missing : FileOperation::lookUp(folder);
        if (found == FileOperation::Presence::Unreadable) {
            errors += N8Sync::unreadableFolderPiece(name, folder);
        } else if (found != FileOperation::Presence::Folder) {
            errors += N8Sync::missingFolderPiece(name, n8path);
        } else if (!QFileInfo(folder).isWritable()) {
            errors += N8Sync::notWritablePiece(name, n8path);
        } else {
            // The old file stays whole unless the new one is synced and
            // closed without error: a share may refuse the data only then.
            FileOperation::WriteError error = FileOperation::WriteError::None;
            written = FileOperation::writeFile(content, folder + QLatin1Char('/') + fileName, true, nullptr,
                                               &error);
            if (!written) {
                const QString reason = N8Sync::writeErrorText(error);
                qDebug().noquote() << QStringLiteral("文件打开失败，错误原因：") << quoted(reason);
                errors += N8Sync::openFailurePiece(name, reason);
            }
        }
        if (written && isStop)
            return;
        message.insert(QStringLiteral("errormsg"), errors);
        sendSyncMessage(message);
    }
}

void N8thread::sendSyncMessage(const QJsonObject& message)
{
    QMetaObject::invokeMethod(receiver, "slt_threademit", Qt::QueuedConnection, Q_ARG(QJsonObject, message));
}

// ---- Selection-result export ----

void N8thread::exoprtN8ResultSendAlert(QString alert)
{
    exoprtN8ResultSendMsg(QJsonObject{{QStringLiteral("type"), QStringLiteral("update_msg")},
                                      {QStringLiteral("alert"), alert}});
}

void N8thread::exoprtN8ResultSendMsg(QJsonObject message)
{
    QMetaObject::invokeMethod(receiver, "slt_exportN8Result", Qt::QueuedConnection,
                              Q_ARG(QJsonObject, message));
}

bool N8thread::copyDirectory(const QString& source, const QString& target, QStringList* notCopied)
{
    QDir().mkpath(target);
    QSet<QString> entered;
    QStringList failed;
    // Finished photos that cannot be looked at may be there for any page.
    const QString finished = N8Export::finishedFolder(orderPath);
    const bool finishedUnreadable = isN8fjUseBigImg == QLatin1String("1") && !finished.isEmpty() &&
                                    FileOperation::lookUp(finished) == FileOperation::Presence::Unreadable;
    const bool whole =
        copyTree(source, target, entered, QFileInfo(target).canonicalFilePath(), finishedUnreadable, failed);
    if (notCopied)
        *notCopied += failed;
    return whole;
}

bool N8thread::copyTree(const QString& source, const QString& target, QSet<QString>& entered,
                        const QString& guardedTarget, bool finishedUnreadable, QStringList& notCopied)
{
    // A folder that cannot be resolved or read is not an empty one: it is
    // named with the files that were not exported. One reached again
    // through a link, or the export's own target, is no loss.
    const QString to = QFileInfo(target).absoluteFilePath();
    const QString canonical = QFileInfo(source).canonicalFilePath();
    if (canonical.isEmpty()) {
        qDebug().noquote() << "无法解析的文件夹:" << quoted(source);
        notCopied.append(to);
        return true;
    }
    if (entered.contains(canonical) || isWithin(canonical, guardedTarget))
        return true;
    entered.insert(canonical);
    QDir().mkpath(target);

    const bool restricted = isN8ResultDownAll == QLatin1String("0");
    const bool substitute = isN8fjUseBigImg == QLatin1String("1");
    const QString finished = N8Export::finishedFolder(orderPath);
    const QString from = QFileInfo(source).absoluteFilePath();
    QFileInfoList entries;
    if (!FileOperation::listFolder(source, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, &entries)) {
        qDebug().noquote() << "无法读取的文件夹:" << quoted(source);
        notCopied.append(to);
        return true;
    }
    for (const QFileInfo& entry : entries) {
        if (isStop)
            return false;
        const QString name = entry.fileName();
        const QString sourceEntry = from + QLatin1Char('/') + name;
        const QString targetEntry = to + QLatin1Char('/') + name;
        qDebug().noquote() << "准备拷贝的文件夹:" << quoted(sourceEntry);
        qDebug().noquote() << "拷贝到：" << quoted(targetEntry);
        // An entry that can no longer be looked at may be a folder: it is
        // named, never passed over as a file the copy leaves out.
        const FileOperation::Presence kind = FileOperation::lookUp(sourceEntry);
        if (kind == FileOperation::Presence::Unreadable) {
            qDebug().noquote() << FileOperation::unreadableText() << quoted(sourceEntry);
            notCopied.append(targetEntry);
            continue;
        }
        if (kind == FileOperation::Presence::Folder) {
            if (restricted && N8Export::isLeftOutFolder(name))
                continue;
            qDebug().noquote() << "导版面000:" << quoted(name);
            if (!copyTree(sourceEntry, targetEntry, entered, guardedTarget, finishedUnreadable, notCopied))
                return false;
            continue;
        }
        if (restricted && !N8Export::isKeptFile(name))
            continue;
        QString copySource = sourceEntry;
        if (substitute && !finished.isEmpty()) {
            // A finished photo that cannot be looked at may be there: N8's
            // own page is not exported in its place.
            const QString retouched = finished + QLatin1Char('/') + name;
            const FileOperation::Presence found =
                finishedUnreadable ? FileOperation::Presence::Unreadable : FileOperation::lookUp(retouched);
            if (found == FileOperation::Presence::Unreadable) {
                qDebug().noquote() << FileOperation::unreadableText() << quoted(retouched);
                notCopied.append(targetEntry);
                continue;
            }
            if (found == FileOperation::Presence::File)
                copySource = retouched;
        }
        exoprtN8ResultSendAlert(N8Export::copyingText(name));
        bool taken = false;
        if (FileOperation::copyNewFileAsIs(copySource, targetEntry, &taken))
            continue;
        // A file an earlier export left is never replaced; it counts as
        // exported only when it is this very page.
        if (taken && FileOperation::isSameContent(copySource, targetEntry))
            continue;
        qDebug().noquote() << "Failed to copy file from" << quoted(copySource) << "to" << quoted(targetEntry);
        notCopied.append(targetEntry);
    }
    return true;
}

void N8thread::exportN8Result()
{
    using N8Export::Line;
    QString report = N8Export::reportHeader();
    const QString day = Clock::today().toString(QStringLiteral("yyyy-MM-dd"));
    const bool withDesignData = isN8ResultDownAll == QLatin1String("1");
    // A stop left a checked order not exported.
    bool unfinished = false;

    for (const order& o : qAsConst(orderList)) {
        if (!o.isChecked)
            continue;
        // The orders after a stop between orders were not begun: none is named.
        if (isStop) {
            unfinished = true;
            break;
        }
        orderPath = o.orderpath;
        const QString& key = o.orderpayforkey;
        const QString& times = o.servicetimes;
        const int reportAtStart = report.size();
        auto line = [&](Line l) { report += N8Export::reportLine(l, key, times); };

        // Without an absolute picture folder there is nothing to look in.
        // A folder that cannot be looked at is named, never taken for one
        // that is not there.
        const QString finished = N8Export::finishedFolder(orderPath);
        const FileOperation::Presence finishedFound =
            finished.isEmpty() ? FileOperation::Presence::Missing : FileOperation::lookUp(finished);
        if (finishedFound == FileOperation::Presence::Unreadable)
            report += N8Export::unreadableLine(key, times, finished);
        else if (finishedFound != FileOperation::Presence::Folder)
            line(Line::NoFinishedPhotos);
        exoprtN8ResultSendAlert(N8Export::preparingText(key, times));

        const N8Export::Selection selection = N8Export::selectionOf(o);
        if (selection.selected.isEmpty()) {
            line(Line::NoN8Path);
            continue;
        }
        // A selection that cannot be looked at is exported as a folder the
        // copy cannot read: made, and named under what was not exported.
        const FileOperation::Presence selectionFound =
            FileOperation::lookUp(Config::localPath(selection.selected));
        const bool selectionReadable = selectionFound != FileOperation::Presence::Unreadable;
        if (selectionReadable && selectionFound != FileOperation::Presence::Folder) {
            line(Line::OutOfReach);
            continue;
        }
        const QString resultSource = N8Export::resultSource(selection);
        bool resultReadable = selectionReadable;
        if (resultReadable) {
            const FileOperation::Presence resultFound = FileOperation::lookUp(resultSource);
            QFileInfoList markers;
            if (resultFound == FileOperation::Presence::Unreadable ||
                (resultFound == FileOperation::Presence::Folder &&
                 !FileOperation::listMatching(resultSource, {QStringLiteral("*.ok")},
                                              QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, &markers))) {
                resultReadable = false;
            } else if (markers.isEmpty()) {
                line(Line::NotDone);
                continue;
            }
        }
        // An empty output folder would put the day's folder at the root.
        const QString dayFolder = exportPath.isEmpty() ? QString() : exportPath + QLatin1Char('/') + day;
        if (dayFolder.isEmpty() || !FileOperation::makeDir(dayFolder)) {
            line(Line::DayFolderNotMade);
            continue;
        }
        const QString orderFolder =
            dayFolder + QLatin1Char('/') + N8Export::orderFolderName(key, times, o.customer);
        if (!FileOperation::makeDir(orderFolder)) {
            line(Line::OrderFolderNotMade);
            continue;
        }
        const QString resultTarget = orderFolder + QStringLiteral("/选版结果");
        const bool resultDone = FileOperation::makeDir(resultTarget);
        QStringList begun; // the order's export folders made so far
        if (resultDone)
            begun.append(resultTarget);
        QStringList notCopied;
        bool stopped = false;
        if (!resultDone) {
            line(Line::ResultTargetNotMade);
        } else if (resultReadable) {
            exoprtN8ResultSendAlert(N8Export::exportingResultText(key, times));
            stopped = !copyDirectory(resultSource, resultTarget, &notCopied);
        } else {
            qDebug().noquote() << FileOperation::unreadableText() << quoted(resultSource);
            notCopied.append(resultTarget);
        }

        bool designDone = true;
        if (withDesignData && !stopped) {
            const QString designSource = N8Export::designDataSource(selection);
            const FileOperation::Presence designFound =
                designSource.isEmpty() ? FileOperation::Presence::Missing
                : selectionReadable    ? FileOperation::lookUp(designSource)
                                       : FileOperation::Presence::Unreadable;
            if (designFound != FileOperation::Presence::Folder &&
                designFound != FileOperation::Presence::Unreadable) {
                line(Line::NoDesignData);
                designDone = false;
            } else {
                const QString designTarget =
                    orderFolder + QLatin1Char('/') + N8Export::designDataFolderName(selection.relative);
                if (!FileOperation::makeDir(designTarget)) {
                    line(Line::DesignDataTargetNotMade);
                    designDone = false;
                } else if (designFound == FileOperation::Presence::Unreadable) {
                    begun.append(designTarget);
                    qDebug().noquote() << FileOperation::unreadableText() << quoted(designSource);
                    notCopied.append(designTarget);
                } else {
                    begun.append(designTarget);
                    exoprtN8ResultSendAlert(N8Export::exportingDesignDataText(key, times));
                    stopped = !copyDirectory(designSource, designTarget, &notCopied);
                }
            }
        }
        // An order a stop cut short: what it found goes, its partly written
        // folders are marked so that they never pass for a whole selection,
        // and the report is headed by its name.
        if (stopped) {
            report.truncate(reportAtStart);
            for (const QString& folder : SeparationFiles::markUnfinished(begun))
                qDebug().noquote() << "unfinished:" << quoted(folder);
            report = N8Export::unfinishedReport(key, times, report);
            unfinished = true;
            break;
        }
        if (!notCopied.isEmpty()) {
            QStringList files;
            for (const QString& path : qAsConst(notCopied))
                files.append(QDir(orderFolder).relativeFilePath(path));
            report += N8Export::notExportedLine(key, times, files);
        }
        if (resultDone || designDone)
            line(resultDone && designDone && notCopied.isEmpty() ? Line::Complete : Line::Partial);
    }
    QJsonObject finish{{QStringLiteral("type"), QStringLiteral("all_finish")},
                       {QStringLiteral("message"), report}};
    if (unfinished)
        finish.insert(QStringLiteral("unfinished"), true);
    exoprtN8ResultSendMsg(finish);
}

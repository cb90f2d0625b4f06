#include "separationcontroller.h"

#include "barcodedownload.h"
#include "clock.h"
#include "config.h"
#include "dirserver.h"
#include "fileoperation.h"
#include "filenames.h"
#include "imagedata.h"
#include "ordertablecheck.h"
#include "ordertree.h"
#include "productionsheet.h"
#include "productplan.h"
#include "prompts.h"
#include "separationrequests.h"
#include "separationfiles.h"
#include "separationsearch.h"
#include "separatethread.h"
#include "thumbnailthread.h"

#include <QDebug>
#include <QJsonArray>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>

namespace {

// One look-up of an order's folder; a path relative to the working folder
// is never an order's.
FileOperation::Presence orderFolderPresence(const QString& folder)
{
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return FileOperation::Presence::Missing;
    return FileOperation::lookUp(folder);
}

} // namespace

SeparationController::SeparationController(SeparationHost* host, SeparationLayout layout, QObject* parent)
    : QObject(parent), m_host(host), m_layout(std::move(layout))
{
    m_barcodeDeadline.setSingleShot(true);
    connect(&m_barcodeDeadline, &QTimer::timeout, this, &SeparationController::barcodeDeadline);
}

SeparationController::~SeparationController()
{
    cancelBarcodes(false);
}

void SeparationController::close()
{
    m_closed = true;
    cancelBarcodes(false);
    m_barcodeDeadline.stop();
}

void SeparationController::post(const char* replySlot, const char* logName, const QString& route,
                                const QByteArray& body)
{
    qDebug() << logName << "Url:" << route;
    qDebug() << logName << "Paras:" << body;
    if (m_closed)
        return;
    m_host->post(replySlot, route, body);
}

bool SeparationController::replyEndsRun(const WebService::Reply& reply, const QString& refusalText)
{
    if (m_closed)
        return true;
    QString text;
    switch (reply.kind) {
    case WebService::Reply::Kind::Success:
        return false;
    case WebService::Reply::Kind::TransportError:
        text = WebService::transportErrorText(reply);
        break;
    case WebService::Reply::Kind::Refusal:
        text = refusalText + reply.code;
        break;
    case WebService::Reply::Kind::NotJsonObject:
        // A body that is no reply at all ends the run as a lost one does.
        text = QStringLiteral("网络请求错误");
        break;
    }
    Prompts::notice(QStringLiteral("警告"), text + QLatin1Char('\n') + unfinishedOrderText());
    endRunEarly(EarlyEnd::Failed);
    return true;
}

QString SeparationController::unfinishedOrderText() const
{
    return QStringLiteral("未完成分件的订单：") + takenOrder.orderpayforkey;
}

void SeparationController::busyBox()
{
    Prompts::notice(QStringLiteral("通知"), QStringLiteral("正在分件，请稍后"));
}

// --- Search ------------------------------------------------------------------

void SeparationController::clickSearch(const QString& criterion, const QString& typed, const QDate& day)
{
    const int type = SeparationSearch::searchTypeFor(criterion);
    if (type == 0)
        return;
    // The run reads the list's flags to pick its next order; a new list
    // under a running run would change what it separates.
    if (SeparationRunGuard::isBusy()) {
        busyBox();
        return;
    }
    QString keyword = day.toString(QStringLiteral("yyyy-MM-dd"));
    if (SeparationSearch::isKeywordSearch(type)) {
        if (typed.isEmpty()) {
            Prompts::information(nullptr, QStringLiteral("警告"), SeparationSearch::missingKeywordText(type),
                                 m_layout.searchBoxButton, m_layout.searchBoxButton);
            return;
        }
        keyword = typed;
    }
    search(type, keyword);
    m_host->setSearching(true);
}

void SeparationController::search(int searchType, const QString& keyword)
{
    QByteArray body = SeparationSearch::body(searchType, keyword);
    postDataFunc(body);
}

void SeparationController::postDataFunc(QByteArray& body)
{
    body += SeparationSearch::storesPiece(m_host->checkedStoreRows(), m_host->storeIds());
    post("queryCallBack", "Query OrderID", Config::url_query_order_importphoto, body);
}

void SeparationController::queryCallBack(const WebService::Reply& reply)
{
    if (m_closed)
        return;
    const Prompts::StandardButton button = m_layout.searchBoxButton;
    // An answer to a search sent before the start: the run takes its next
    // order, and a stopped run resumes, from the list's marks, so the list
    // stays the run's. Nothing is said of it.
    if (m_guard.isHeld()) {
        m_host->setSearching(false);
        return;
    }
    if (!WebService::reportFailure(reply, QStringLiteral("检索错误：") + reply.code, button)) {
        qDebug().noquote() << "query order Json:" << QJsonDocument(reply.object).toJson(QJsonDocument::Indented);
        orderList = ordersFromListReply(reply.object, m_layout.fill);
        for (const order& o : qAsConst(orderList))
            qDebug() << "store_picpath" << o.picpath;
        m_host->refreshOrderList();
        if (orderList.isEmpty())
            Prompts::information(nullptr, QStringLiteral("提示"), QStringLiteral("没有查询到任何订单"),
                                 button, button);
    }
    m_host->setSearching(false);
}

// --- Start of a run ------------------------------------------------------------

void SeparationController::startRequested(const QString& pathText)
{
    if (isSeparating || SeparationRunGuard::isBusy()) {
        busyBox();
        return;
    }
    if (!OrderTableCheck::anyChecked(orderList)) {
        Prompts::notice(QString(), QStringLiteral("请选择订单"));
        return;
    }
    // An empty field passes: the goods reply asks for the folder per order.
    // A folder that cannot be looked at is not called missing.
    const QString fault = pathText.isEmpty()
                              ? QString()
                              : FileOperation::folderFault(pathText, QStringLiteral("分件路径不存在"));
    if (!fault.isEmpty()) {
        Prompts::notice(QStringLiteral("警告"), fault);
        return;
    }
    if (!m_guard.begin()) {
        busyBox();
        return;
    }
    // Orders a stopped run finished stay done; when every checked order is
    // done, the run starts over with all of them.
    bool anyLeft = false;
    for (const order& o : qAsConst(orderList))
        anyLeft = anyLeft || (o.isChecked && !o.isDone);
    if (!anyLeft) {
        for (order& o : orderList)
            o.isDone = false;
    }
    m_messageList.clear();
    checkOrdersNum = 0;
    finishOrdersNum = 0;
    for (const order& o : qAsConst(orderList)) {
        if (o.isChecked) {
            ++checkOrdersNum;
            if (o.isDone)
                ++finishOrdersNum;
        }
    }
    m_chosenRoot.clear();
    m_finishedThisRun = 0;
    isSeparating = true;
    SeparationHost::RunDisplay display = m_display;
    display.boxVisible = true;
    display.labelVisible = true;
    showRun(display);
    readyToSeparate();
}

// --- Goods query ---------------------------------------------------------------

void SeparationController::postQueryProducts(QString orderId)
{
    m_currentOrderId = orderId;
    const QByteArray body = SeparationRequests::goodsBody(orderId, m_layout.goodsIsQu);
    post("queryProductsCallBack", "query product", Config::url_query_pro, body);
}

void SeparationController::queryProductsCallBack(const WebService::Reply& reply)
{
    if (replyEndsRun(reply, QStringLiteral("查询产品信息错误：")))
        return;
    QJsonObject object = reply.object;
    object.remove(QStringLiteral("code"));
    expressHtmlString = m_expressHtml.getHtmlString(object);

    const ProductPlan::OrderValues values{takenOrder.orderpayforkey, takenOrder.customer,
                                          takenOrder.pickuptime, takenOrder.role10};
    const ProductPlan::Plan plan =
        ProductPlan::plan(reply.object, m_layout.goodsForm, Config::isshow_subproduct, values);
    productMessageList = plan.messages;
    ProductData::m_products = plan.products;

    SeparationHost::RunDisplay hidden = m_display;
    hidden.labelVisible = false;
    hidden.boxVisible = false;
    showRun(hidden);

    const QString folder = settleOutputFolder();
    if (folder.isEmpty()) {
        endRunEarly(EarlyEnd::Cancelled);
        return;
    }
    saveFilepath = folder;
    if (m_chosenRoot.isEmpty())
        m_chosenRoot = folder;
    ProductData::localSavePath = folder;
    startSeparatePhotos();
}

QString SeparationController::settleOutputFolder()
{
    QString folder = m_host->outputFolderText();
    if (folder.isEmpty())
        folder = m_host->chooseFolder();
    if (folder.isEmpty())
        return QString();
    FileOperation::writeToDAT(QStringLiteral("path_separatePhotos.dat"), {folder}, true);
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
}

void SeparationController::setProducts(QList<Product> products)
{
    orderProducts = products;
    const ProductPlan::Summary summary = ProductPlan::summarize(products, ProductData::m_products);
    productPhotoNum = summary.productPhotoNum;
    productsUrgentState = summary.urgentState;
}

void SeparationController::stopRun()
{
    cancelBarcodes(false);
    m_barcodeDeadline.stop();
    m_waitingForBarcodes = false;
    isSeparating = false;
    for (order& o : orderList) {
        if (o.order_photo_id == m_currentOrderId)
            o.isDone = false;
    }
    m_guard.end();
    m_host->runEnded();
}

void SeparationController::endRunEarly(EarlyEnd why)
{
    if (m_waitingForBarcodes) {
        // Every order has ended: what is cut short is only the wait.
        cancelBarcodes(true);
        showReport();
        return;
    }
    // What the order in work had found so far goes: a new start does it again.
    while (m_messageList.size() > m_entriesAtOrderStart)
        m_messageList.removeLast();
    m_orderFailures.clear();
    m_orderNotes.clear();
    m_unreadableFolders.clear();
    m_reportedFailures.clear();
    const QString unfinished = unfinishedOrderText();
    // Nobody is to take a half-filled product folder for a finished one.
    for (const QString& folder : SeparationFiles::markUnfinished(m_productFolders))
        qDebug() << "unfinished:" << folder;
    m_productFolders.clear();
    // The finished orders' pictures still arriving are not waited for.
    cancelBarcodes(true);
    stopRun();
    // The finished orders' findings, which a new start would empty; after a
    // close they are the one place that names the order left unfinished.
    if (m_finishedThisRun == 0 && why != EarlyEnd::Closed)
        return;
    QStringList keys;
    for (const finishMessage& entry : qAsConst(m_messageList))
        keys.append(entry.orderKey);
    m_host->showReport(
        unfinished + QStringLiteral("\n\n") + finishReportText(m_messageList),
        SeparationFiles::reportFileName(m_host->outputFolderText(), m_chosenRoot, Clock::today(), keys),
        false);
}

void SeparationController::windowClosing()
{
    if (isSeparating && m_guard.isHeld())
        endRunEarly(EarlyEnd::Closed);
    close();
}

void SeparationController::showRun(const SeparationHost::RunDisplay& display)
{
    m_display = display;
    m_host->showRun(display);
}

// --- The run -------------------------------------------------------------------

bool SeparationController::readyToSeparate()
{
    for (order& o : orderList) {
        if (!o.isChecked || o.isDone)
            continue;
        o.isDone = true;
        takeUpOrder(o);
        takenOrder = o;
        takenOrder.orderpath = OrderTree::withSlash(o.orderpath);
        m_entriesAtOrderStart = m_messageList.size();
        m_orderFailures.clear();
        m_orderNotes.clear();
        m_unreadableFolders.clear();
        m_reportedFailures.clear();
        m_productFolders.clear();
        m_barcodeEnded = false;
        m_awaitingBarcode = false;
        postQueryProducts(o.order_photo_id);
        return false;
    }
    return true;
}

bool SeparationController::makeOutputFolder(const QString& folder)
{
    if (FileOperation::makeDir(folder))
        return true;
    folderFailed(folder);
    return false;
}

void SeparationController::folderFailed(const QString& folder)
{
    Prompts::notice(QStringLiteral("警告"), QStringLiteral("分件文件夹创建失败：\n") + folder +
                                                QLatin1Char('\n') + unfinishedOrderText());
    endRunEarly(EarlyEnd::Failed);
}

void SeparationController::startSeparatePhotos()
{
    if (m_closed)
        return;
    qDebug() << "startSeparatePhotos";
    saveFilepath += Clock::today().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('/');
    if (!makeOutputFolder(saveFilepath))
        return;
    saveFilepath += SeparationFiles::orderFolderName(takenOrder.orderpayforkey, takenOrder.servicetimes,
                                                     takenOrder.customer, takenOrder.pickuptype) +
                    QLatin1Char('/');
    if (!makeOutputFolder(saveFilepath))
        return;
    orderFolderPath = saveFilepath;
    const bool plain = Config::fjtype.isEmpty();
    if (m_layout.otherLevel && plain) {
        saveFilepath += QStringLiteral("其它/");
        if (!makeOutputFolder(saveFilepath))
            return;
    }
    ProductData::localSavePath = saveFilepath;
    QStringList folders{Config::fj_cpname};
    if (m_layout.otherLevel) {
        if (plain)
            folders.append(QStringLiteral("汰片"));
        folders.append(Config::fj_bzname);
    }
    for (const QString& folder : folders) {
        if (!makeOutputFolder(saveFilepath + folder))
            return;
    }

    readyNum = 0;
    photoCheckNum = 0;
    photoExistNum = 0;
    photoCheckedNum = 0;
    m_host->clearJobs();
    const QString finished =
        takenOrder.orderpath.isEmpty() ? QString() : takenOrder.orderpath + QStringLiteral("成品/");
    for (int i = 0; i < ProductData::m_products.size(); ++i) {
        for (const QString& name : ProductData::m_products.at(i).photos) {
            // A name that is no plain file name is never joined to a path;
            // the product stage reports it missing.
            if (finished.isEmpty() || !FileNames::isPlainFileName(name))
                continue;
            ++photoCheckNum;
            m_host->startJob(new SeparateThread(finished + name, 2, m_host->jobOwner()), i);
        }
    }
    if (photoCheckNum == 0)
        fenjian_photoIsFileSlot_1(0);
}

void SeparationController::step(int steps)
{
    readyNum += steps;
    SeparationHost::RunDisplay display = m_display;
    display.value = readyNum;
    showRun(display);
    if (m_layout.stepEndsOrder && readyNum == m_display.maximum && isHtmlSaved && isProductsDone)
        separateNextOrder();
}

void SeparationController::fenjian_photoIsFileSlot_1(int num)
{
    if (m_closed)
        return;
    if (photoCheckNum != 0) {
        ++photoCheckedNum;
        photoExistNum += num == 1 ? 1 : 0;
        qDebug() << "读取数量：" << photoCheckNum << "  --" << photoCheckedNum;
        if (photoCheckedNum != photoCheckNum)
            return;
    } else if (photoCheckedNum != 0) {
        return;
    }
    // Only once per order, also for the direct call.
    photoCheckedNum = photoCheckNum + 1;

    const QString root = takenOrder.orderpath;
    const FileOperation::Presence presence = orderFolderPresence(root);
    const bool listed = presence == FileOperation::Presence::Folder;
    // An order whose folder is not on the share has nothing to separate;
    // the report says so. One that cannot be looked at may well be there:
    // it is named as a folder not read, and nothing of it is separated.
    if (presence == FileOperation::Presence::Unreadable)
        folderUnreadable(root);
    else if (!listed)
        m_orderNotes.append(QStringLiteral("订单目录不存在：%1").arg(root));
    // A folder that cannot be looked at or read is named, never taken for
    // an empty one; its stage copies nothing.
    const auto list = [this, &root](const QString& name, QStringList* names, bool pictures = false) {
        const QString folder = root + name;
        if (!(pictures ? SeparationFiles::pictureFiles(folder, names)
                       : SeparationFiles::folderEntries(folder, names)))
            folderUnreadable(folder);
    };
    finalPhotoList.clear();
    delPhotoList.clear();
    shejiPhotoList.clear();
    markPhotoList.clear();
    if (listed)
        list(QStringLiteral("成品/"), &finalPhotoList);
    if (listed && m_layout.hasStage(SeparationLayout::Stage::Rejected) &&
        Config::isFjDownloadDeletePhoto == QLatin1String("1") && Config::fjtype != QStringLiteral("Tovaro分件"))
        list(QStringLiteral("汰片/"), &delPhotoList);
    if (listed && m_layout.hasStage(SeparationLayout::Stage::Design))
        list(QStringLiteral("设计/"), &shejiPhotoList, true);
    if (listed && m_layout.hasStage(SeparationLayout::Stage::Marked))
        list(QStringLiteral("marks/"), &markPhotoList);
    qDebug() << "总进度的总数 分别是 finalPhotoList：" << finalPhotoList.size() << " - delPhotoList"
             << delPhotoList.size() << " - markPhotoList" << markPhotoList.size();

    SeparationHost::RunDisplay display = m_display;
    display.boxVisible = true;
    display.maximum = finalPhotoList.size() + delPhotoList.size() + markPhotoList.size() + shejiPhotoList.size() + 14;
    display.value = 0;
    display.barVisible = true;
    display.finishedText = QStringLiteral("已完成订单个数：%1/%2").arg(finishOrdersNum).arg(checkOrdersNum);
    display.finishedVisible = true;
    showRun(display);

    isHtmlSaved = false;
    m_host->clearJobs();
    finalCopiedNum = 0;
    if (finalPhotoList.isEmpty()) {
        fenjian_finalPhotoSlot_2();
        return;
    }
    const QString target = ProductData::localSavePath + Config::fj_cpname + QLatin1Char('/');
    for (const QString& name : qAsConst(finalPhotoList)) {
        const QString source = root + QStringLiteral("成品/") + name;
        qDebug() << "test=" << source << "-to==" << target + name;
        auto* job = new SeparateThread(source, target + name, true, 1, m_host->jobOwner(), m_layout.sjfjxz);
        // The sheet's thumbnails come from the photos' small thumbnails: a
        // missing one is made while the copies run.
        job->setSmallThumbnail(ImageData::fineSmallThumbnail(root, name));
        m_host->startJob(job, 0);
    }
}

void SeparationController::fenjian_finalPhotoSlot_2()
{
    if (m_closed)
        return;
    if (!finalPhotoList.isEmpty()) {
        ++finalCopiedNum;
        qDebug() << "分件原图复制完成" << finalCopiedNum;
        step();
    }
    qDebug() << "原图总数：" << finalPhotoList.size() << " 已复制：" << finalCopiedNum;
    if (finalCopiedNum != finalPhotoList.size())
        return;
    backstop(takenOrder.orderpath + QStringLiteral("成品/"),
             ProductData::localSavePath + Config::fj_cpname + QLatin1Char('/'), finalPhotoList);
    delCopiedNum = 0;
    startStage(0);
}

SeparationController::CopyStage SeparationController::copyStage(SeparationLayout::Stage stage)
{
    switch (stage) {
    case SeparationLayout::Stage::Rejected:
        return {&delPhotoList, &delCopiedNum, QStringLiteral("汰片/"), QStringLiteral("汰片/"), 3};
    case SeparationLayout::Stage::Design:
        return {&shejiPhotoList, &shejiPhotoOkNum, QStringLiteral("设计缩略图100/"), QStringLiteral("设计/"),
                7};
    case SeparationLayout::Stage::Marked:
    case SeparationLayout::Stage::Products:
        break;
    }
    return {&markPhotoList, &markCopiedNum, QStringLiteral("marks/"), Config::fj_bzname + QLatin1Char('/'),
            4};
}

void SeparationController::startStage(int index)
{
    if (index >= m_layout.stages.size()) {
        iniHTMLData();
        return;
    }
    const SeparationLayout::Stage stage = m_layout.stages.at(index);
    if (stage == SeparationLayout::Stage::Products) {
        startProductStage();
        return;
    }
    const CopyStage copy = copyStage(stage);
    *copy.done = 0;
    // The design folder is there whether or not the order has designs.
    if (stage == SeparationLayout::Stage::Design)
        QDir().mkpath(ProductData::localSavePath + copy.target);
    if (copy.list->isEmpty()) {
        stageDone(stage);
        return;
    }
    for (const QString& name : qAsConst(*copy.list)) {
        m_host->startJob(new SeparateThread(takenOrder.orderpath + copy.source + name,
                                            ProductData::localSavePath + copy.target + name, true,
                                            copy.jobType, m_host->jobOwner()),
                         0);
    }
}

void SeparationController::stageDone(SeparationLayout::Stage stage)
{
    if (m_closed)
        return;
    const CopyStage copy = copyStage(stage);
    if (!copy.list->isEmpty()) {
        ++*copy.done;
        step();
    }
    if (*copy.done != copy.list->size())
        return;
    backstop(takenOrder.orderpath + copy.source, ProductData::localSavePath + copy.target, *copy.list);
    if (m_layout.hasStage(stage)) {
        startStage(m_layout.stages.indexOf(stage) + 1);
        return;
    }
    // A stage the layout does not run, called all the same: the rejected
    // photos lead to the marked ones, these to the product folders.
    if (stage == SeparationLayout::Stage::Rejected)
        stageDone(SeparationLayout::Stage::Marked);
    else
        startProductStage();
}

void SeparationController::fenjian_delPhotoSlot_3()
{
    stageDone(SeparationLayout::Stage::Rejected);
}

void SeparationController::fenjian_shejiPhotoSlot_3_2()
{
    stageDone(SeparationLayout::Stage::Design);
}

void SeparationController::fenjian_markPhoto_3_1()
{
    stageDone(SeparationLayout::Stage::Marked);
}

void SeparationController::startProductStage()
{
    productStartReadyNum = readyNum;
    productPhotoJobNum = 0;
    fenjian_productOkNum = 0;
    message = finishMessage{takenOrder.orderpayforkey, {}, {}};
    finishMessage local{takenOrder.orderpayforkey, {}, {}};
    isProductsDone = false;

    const bool tovaro = Config::fjtype == QStringLiteral("Tovaro分件");
    // Every product folder is taken before the first photo goes: a folder
    // that cannot be made ends the run with no job under way.
    QStringList targets;
    // A product's folder as planned, and the one this order took anew for it.
    QHash<QString, QString> takenAnew;
    for (const ProductMessage& plan : qAsConst(productMessageList)) {
        if (plan.productFolder.isEmpty()) {
            targets.append(QString());
            continue;
        }
        const QString base = orderFolderPath + (tovaro ? QString() : plan.factoryFolder);
        const QString name = plan.folderName.isEmpty() ? plan.goodname : plan.folderName;
        const QString planned = base + plan.productFolder;
        // A sub-product goes inside its parent's folder: the numbered one
        // when the parent's own name was taken already.
        const bool sub = !plan.subProductFolder.isEmpty();
        const QString under = sub ? takenAnew.value(planned, planned) : base;
        const QString wanted = sub ? under + plan.subProductFolder : planned;
        // A folder of an earlier run, of another station's run or of a
        // product named alike is never shared: the next numbered name is.
        bool made = false;
        const QString target = SeparationFiles::takeProductFolder(
            wanted, [&](int n) { return SeparationFiles::productFolderCandidate(under, plan, name, n); },
            &made);
        if (target.isEmpty()) {
            folderFailed(wanted);
            return;
        }
        if (made) {
            m_productFolders.append(target);
            if (!sub)
                takenAnew.insert(planned, target);
        }
        targets.append(target);
    }

    // Without an order folder no photo is on the server (never a path
    // relative to the working folder).
    const FileOperation::Presence orderFolder = orderFolderPresence(takenOrder.orderpath);
    if (orderFolder == FileOperation::Presence::Unreadable)
        folderUnreadable(takenOrder.orderpath);
    const QString finishedServer = orderFolder == FileOperation::Presence::Folder
                                       ? takenOrder.orderpath + QStringLiteral("成品/")
                                       : QString();
    // Nothing is known of the products' photos when the order folder or
    // "成品/" could not be read: the folder's own line stands for them.
    const bool finishedUnread = m_unreadableFolders.contains(takenOrder.orderpath) ||
                                m_unreadableFolders.contains(takenOrder.orderpath + QStringLiteral("成品/"));
    const QString finishedOutput = ProductData::localSavePath + Config::fj_cpname + QLatin1Char('/');
    // A finished photo this order could not copy into the output, as its
    // job told it (reading or writing) or the backstop found it: what its
    // name holds there is an earlier run's file, never this run's photo, so
    // the product's copy is not written.
    const auto notCopied = [&](const QString& photo) {
        return m_orderFailures.contains(finishedOutput + QLatin1Char(':') + photo) ||
               m_orderFailures.contains(finishedServer + QLatin1Char(':') + photo);
    };
    for (int i = 0; i < productMessageList.size(); ++i) {
        const ProductMessage& plan = productMessageList.at(i);
        const QString& target = targets.at(i);
        if (target.isEmpty())
            continue;
        const QString name = plan.folderName.isEmpty() ? plan.goodname : plan.folderName;
        if (plan.photos.isEmpty()) {
            if (plan.goodtypeid != QLatin1String("40"))
                local.emptyProducts.append(name);
            continue;
        }
        if (finishedUnread)
            continue;
        for (const QString& photo : plan.photos) {
            const QString named = name + QLatin1Char(':') + photo;
            const FileOperation::Presence presence =
                finishedServer.isEmpty() || !FileNames::isPlainFileName(photo)
                    ? FileOperation::Presence::Missing
                    : FileOperation::lookUp(finishedServer + photo);
            const bool onServer = presence == FileOperation::Presence::File;
            if (onServer && !notCopied(photo)) {
                ++productPhotoJobNum;
                m_host->startJob(new SeparateThread(photo, target + photo, name, false, 5, m_host->jobOwner(),
                                                    finishedOutput),
                                 0);
                continue;
            }
            // A photo that cannot be looked at may well be on the share: it
            // is a file not written, never a missing photo.
            const bool unread = presence == FileOperation::Presence::Unreadable;
            QStringList& findings = onServer || unread ? local.unwrittenFiles : local.missingPhotos;
            if (!findings.contains(named))
                findings.append(named);
        }
    }
    if (productPhotoJobNum == 0)
        fenjian_productPhotoSlot_4(QString());
    m_messageList.append(local);
}

void SeparationController::fenjian_productPhotoSlot_4(QString fullPicName)
{
    if (m_closed)
        return;
    if (productPhotoJobNum != 0) {
        const float share = 10.0f / float(productPhotoJobNum);
        const int before = fenjian_productOkNum;
        ++fenjian_productOkNum;
        const int increment = int(float(fenjian_productOkNum) * share - float(int(float(before) * share)));
        if (increment >= 1)
            step(increment);
    } else {
        step(10);
    }
    // What a product job reports it did not write into the product folder.
    if (!fullPicName.isEmpty() && fullPicName != QLatin1String(":") &&
        !message.unwrittenFiles.contains(fullPicName))
        message.unwrittenFiles.append(fullPicName);
    if (productPhotoJobNum <= fenjian_productOkNum && !isProductsDone) {
        readyNum = productStartReadyNum + 10;
        m_messageList.append(message);
        isProductsDone = true;
        qDebug() << "开始html";
        iniHTMLData();
    }
}

void SeparationController::iniHTMLData()
{
    if (m_closed)
        return;
    // Every order-detail value goes; the reply sets them again.
    sheet = SheetInput();
    qqText.clear();
    wxText.clear();
    twosalesTotal.clear();
    sale_payfor.clear();
    twosalesDebt.clear();
    consumetypeid.clear();
    pickuptype = m_layout.pickupTypeZero ? QStringLiteral("0") : QString();
    m_barcodeEnded = false;
    m_awaitingBarcode = false;
    barUrl = SeparationRequests::barcodeUrl(takenOrder.order_photo_id);
    startDownloadBar();
    getPicInfo();
}

void SeparationController::startDownloadBar()
{
    barPath = saveFilepath + QStringLiteral("/条形码.jpg");
    qDebug() << "srcsrc===" << barUrl;
    BarcodeDownload* download = m_host->download(barUrl, barPath);
    if (!download) {
        m_barcodeEnded = true;
        m_orderFailures.append(QStringLiteral("条形码.jpg"));
        return;
    }
    m_barcodes.append(PendingBarcode{download, -1});
    connect(download, &BarcodeDownload::ended, this,
            [this, download](const QString&, bool succeeded) { barcodeEnded(download, succeeded); });
}

QString SeparationController::sheetOrderFolder() const
{
    // An order folder that could not be looked at lends the sheet nothing,
    // as a missing one does: no photo of it is listed or marked.
    return m_unreadableFolders.contains(takenOrder.orderpath) ? QString() : takenOrder.orderpath;
}

void SeparationController::getPicInfo()
{
    DirServer::setOrderPath(sheetOrderFolder());
    ImageData* images = ImageData::getInstance();
    if (!images->importImage(FinePhoto)) {
        // The lists still hold the last order's photos, never this one's.
        images->clearImages();
        folderUnreadable(DirServer::getFineImagePath());
    }
    QStringList finishedNames;
    for (const Image& image : ImageData::getInstance()->GetSeletedImages())
        finishedNames.append(image.GetImageName());
    qDebug() << "成品照片数量是：" << finishedNames.size();
    const QByteArray body =
        SeparationRequests::picInfoBody(m_layout.picInfoForm, takenOrder.order_photo_id, barPath,
                                        saveFilepath, finishedNames, shejiPhotoList);
    post("queryPicInfoCallBack", "getPicInfo", Config::url_query_picinfo, body);
}

void SeparationController::queryPicInfoCallBack(const WebService::Reply& reply)
{
    if (replyEndsRun(reply, QStringLiteral("查询裁剪信息错误：")))
        return;
    qDebug() << "picinfo" << reply.object;
    step();
    // A window that builds its own sheet ignores the service's.
    if (m_layout.sheetOutput == SeparationLayout::SheetOutput::ServiceHtml)
        sheetHtml = reply.object.value(QLatin1String("html")).toString();
    m_host->startJob(new SeparateThread(reply.object.value(QLatin1String("orderpicdescr")).toArray(), 6,
                                        m_host->jobOwner(), sheetOrderFolder()),
                     0);
}

void SeparationController::fenjian_analysisPhotoInfo()
{
    if (m_closed)
        return;
    step();
    qDebug() << "开始保存成品缩略图";
    m_host->startJob(new ThumbnailThread(ImageData::getInstance()->GetSeletedImages(), m_host->jobOwner(), 88,
                                         ProductData::localSavePath, m_host->jobPool()),
                     0);
}

void SeparationController::onFinishSeparateImage()
{
    if (!m_closed)
        step();
}

void SeparationController::onFinishSaveThumb()
{
    if (m_closed)
        return;
    qDebug() << "search order thumbnail finished!";
    postQueryOrderInfo();
}

void SeparationController::postQueryOrderInfo()
{
    const QByteArray body = SeparationRequests::orderDetailBody(takenOrder.order_photo_id);
    post("queryOrderInfoCallBack", "postOrder", Config::url_query_printinfo, body);
}

void SeparationController::queryOrderInfoCallBack(const WebService::Reply& reply)
{
    if (replyEndsRun(reply, QStringLiteral("查询订单信息错误：")))
        return;
    qDebug() << "postOrder Json:" << reply.object;
    const order* listed = nullptr;
    for (const order& o : qAsConst(orderList)) {
        if (o.order_photo_id == takenOrder.order_photo_id) {
            listed = &o;
            break;
        }
    }
    const QString selector = listed ? listed->selectphotoname : sheet.selectphotoname;
    sheet = SheetInput::fromOrderDetail(reply.object, takenOrder.orderpayforkey, takenOrder.servicetimes,
                                        selector);
    const SeparationRequests::DetailExtras extras =
        SeparationRequests::detailExtras(reply.object, listed, qqText, wxText);
    qqText = extras.qqText;
    wxText = extras.wxText;
    pickuptype = extras.pickuptype;
    consumetypeid = extras.consumetypeid;
    twosalesTotal = extras.twosalesTotal;
    sale_payfor = extras.sale_payfor;
    twosalesDebt = extras.twosalesDebt;

    setProducts(ProductData::m_products);
    if (m_layout.sheetOutput == SeparationLayout::SheetOutput::LocalPdf) {
        // The local sheet shows the barcode, so it is built and printed
        // once the download has ended; the builder copies the marked photos.
        m_awaitingBarcode = true;
        if (m_barcodeEnded)
            printLocalSheet();
        return;
    }
    QStringList notWritten;
    ProductionSheet::copyMarkedPhotos(sheet.picsMarkArr, DirServer::getMarkerPath(),
                                      DirServer::getWebPageThumbPath(), &notWritten);
    nameNotWritten(notWritten);
    savePDF();
    saveHTML();
}

QString SeparationController::getHTMLString()
{
    SheetInput input = sheet;
    input.barcodeImagePath = barPath;
    input.buildSort = Config::build_sort;
    input.products = ProductData::m_products;
    input.selectedPhotos = ImageData::getInstance()->GetSeletedImages();
    input.thumbFolder = DirServer::getWebPageThumbPath();
    input.markFolder = DirServer::getMarkerPath();
    const SheetResult result = ProductionSheet::build(input, m_layout.sheetVariant);
    if (result.tableWritten)
        productPhotoNum = result.selectedPhotoTotal;
    nameNotWritten(result.notWritten);
    return result.html;
}

void SeparationController::nameNotWritten(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QFileInfo file(path);
        copyFailed(file.path() + QLatin1Char('/'), file.fileName());
    }
}

void SeparationController::savePDF()
{
    // The production sheet first, then the express sheet; a sheet that is
    // not written is named in the order's report.
    if (m_layout.sheetOutput == SeparationLayout::SheetOutput::LocalPdf &&
        !ExpressHtml::savePdf(sheetHtml, saveFilepath + QStringLiteral("/明细制作单.pdf")))
        m_orderFailures.append(QStringLiteral("明细制作单.pdf"));
    if (!ExpressHtml::savePdf(expressHtmlString, saveFilepath + QStringLiteral("/快递产品信息.pdf")))
        m_orderFailures.append(QStringLiteral("快递产品信息.pdf"));
}

void SeparationController::saveHTML()
{
    if (m_layout.sheetOutput == SeparationLayout::SheetOutput::ServiceHtml) {
        const QString path = saveFilepath + QStringLiteral("/明细制作单.html");
        qDebug() << "saveFilepath:" << saveFilepath;
        if (!FileOperation::writeFile(sheetHtml.toUtf8(), path, true)) {
            Prompts::information(m_host->dialogParent(), QStringLiteral("提示"),
                                 QStringLiteral("failed to create HTML file"), Prompts::Ok);
            m_orderFailures.append(QStringLiteral("明细制作单.html"));
        }
    }
    isHtmlSaved = true;
    separateNextOrder();
}

void SeparationController::barcodeEnded(BarcodeDownload* download, bool succeeded)
{
    if (m_closed)
        return;
    // Only a download of this run that is still under way; a cancelled one
    // has been named already.
    int index = -1;
    for (int i = 0; i < m_barcodes.size() && index < 0; ++i) {
        if (m_barcodes.at(i).download == download)
            index = i;
    }
    if (index < 0)
        return;
    const PendingBarcode pending = m_barcodes.takeAt(index);
    if (!succeeded)
        nameBarcode(pending);
    if (pending.entry < 0) {
        m_barcodeEnded = true;
        if (m_awaitingBarcode) {
            m_awaitingBarcode = false;
            if (m_layout.sheetOutput == SeparationLayout::SheetOutput::LocalPdf && !isHtmlSaved)
                printLocalSheet();
        }
    }
    if (m_waitingForBarcodes && m_barcodes.isEmpty())
        showReport();
}

void SeparationController::nameBarcode(const PendingBarcode& pending)
{
    const QString name = QStringLiteral("条形码.jpg");
    if (pending.entry < 0)
        m_orderFailures.append(name);
    else if (pending.entry < m_messageList.size())
        m_messageList[pending.entry].unwrittenFiles.append(name);
}

void SeparationController::cancelBarcodes(bool named)
{
    const QList<PendingBarcode> pending = m_barcodes;
    m_barcodes.clear();
    for (const PendingBarcode& p : pending) {
        if (named && p.entry >= 0)
            nameBarcode(p);
        // Its reply is aborted; nothing is written and nothing is told.
        delete p.download.data();
    }
}

void SeparationController::barcodeDeadline()
{
    if (!m_waitingForBarcodes)
        return;
    cancelBarcodes(true);
    showReport();
}

void SeparationController::copyFailed(const QString& folder, const QString& name)
{
    if (m_closed || !isSeparating)
        return;
    m_reportedFailures.insert(folder + name);
    const QString entry = folder + QLatin1Char(':') + name;
    if (!m_orderFailures.contains(entry))
        m_orderFailures.append(entry);
}

void SeparationController::folderUnreadable(const QString& folder)
{
    if (m_closed || !isSeparating)
        return;
    if (!m_unreadableFolders.contains(folder))
        m_unreadableFolders.append(folder);
}

void SeparationController::backstop(const QString& sourceFolder, const QString& targetFolder,
                                    const QStringList& names)
{
    // Only what no job has told already: a photo is named once.
    QStringList untold;
    for (const QString& name : names) {
        if (!m_reportedFailures.contains(sourceFolder + name) &&
            !m_reportedFailures.contains(targetFolder + name))
            untold.append(name);
    }
    for (const QString& entry : SeparationFiles::uncopied(sourceFolder, targetFolder, untold)) {
        if (!m_orderFailures.contains(entry))
            m_orderFailures.append(entry);
    }
}

void SeparationController::printLocalSheet()
{
    sheetHtml = m_host->localSheetHtml();
    savePDF();
    saveHTML();
}

void SeparationController::closeOrderReport()
{
    const auto appendNew = [](QStringList* to, const QStringList& from) {
        for (const QString& text : from) {
            if (!to->contains(text))
                to->append(text);
        }
    };
    // The order shows once in the report: its first entry takes what the
    // others found. They keep the order's key, so the report's name stays.
    for (int i = m_entriesAtOrderStart + 1; i < m_messageList.size(); ++i) {
        finishMessage& first = m_messageList[m_entriesAtOrderStart];
        finishMessage& other = m_messageList[i];
        appendNew(&first.unreadableFolders, other.unreadableFolders);
        first.notes += other.notes;
        appendNew(&first.missingPhotos, other.missingPhotos);
        appendNew(&first.unwrittenFiles, other.unwrittenFiles);
        appendNew(&first.emptyProducts, other.emptyProducts);
        other = finishMessage{other.orderKey, {}, {}};
    }
    bool barcodePending = false;
    for (const PendingBarcode& p : qAsConst(m_barcodes))
        barcodePending = barcodePending || p.entry < 0;
    if (m_orderFailures.isEmpty() && m_orderNotes.isEmpty() && m_unreadableFolders.isEmpty() &&
        !barcodePending)
        return;
    if (m_messageList.size() <= m_entriesAtOrderStart)
        m_messageList.append(finishMessage{takenOrder.orderpayforkey, {}, {}});
    finishMessage& entry = m_messageList[m_entriesAtOrderStart];
    appendNew(&entry.unreadableFolders, m_unreadableFolders);
    entry.notes += m_orderNotes;
    appendNew(&entry.unwrittenFiles, m_orderFailures);
    m_orderFailures.clear();
    m_orderNotes.clear();
    m_unreadableFolders.clear();
    for (PendingBarcode& p : m_barcodes) {
        if (p.entry < 0)
            p.entry = m_entriesAtOrderStart;
    }
}

void SeparationController::separateNextOrder()
{
    // Once the last order has ended, only the report is left.
    if (m_closed || !isSeparating || m_waitingForBarcodes)
        return;
    closeOrderReport();
    m_productFolders.clear();
    ++finishOrdersNum;
    ++m_finishedThisRun;
    SeparationHost::RunDisplay display = m_display;
    display.finishedText = QStringLiteral("已完成订单个数：%1/%2").arg(finishOrdersNum).arg(checkOrdersNum);
    display.value = 0;
    display.maximum = 0;
    display.barVisible = false;
    showRun(display);
    if (!readyToSeparate())
        return;
    if (!m_barcodes.isEmpty()) {
        m_waitingForBarcodes = true;
        m_barcodeDeadline.start(WebService::transferTimeoutMs());
        return;
    }
    showReport();
}

void SeparationController::showReport()
{
    m_waitingForBarcodes = false;
    m_barcodeDeadline.stop();
    qDebug() << "m_messageList.count()" << m_messageList.size();
    QStringList keys;
    for (const finishMessage& entry : qAsConst(m_messageList))
        keys.append(entry.orderKey);
    const QString text = finishReportText(m_messageList);
    qDebug() << "message" << text;
    // A folder not read or a file not written: the run's work is not done,
    // though every order ended.
    m_host->showReport(
        text, SeparationFiles::reportFileName(m_host->outputFolderText(), m_chosenRoot, Clock::today(), keys),
        !reportNamesFailures(m_messageList));
    for (order& o : orderList)
        o.isDone = false;
    checkOrdersNum = 0;
    finishOrdersNum = 0;
    SeparationHost::RunDisplay display = m_display;
    display.finishedVisible = false;
    display.boxVisible = false;
    showRun(display);
    isSeparating = false;
    m_guard.end();
    m_host->runEnded();
}

#include "importphototoserver.h"

#include "ui_importphototoserver.h"

#include "calendarpicker.h"
#include "checkdirthread.h"
#include "config.h"
#include "deletionguard.h"
#include "fileoperation.h"
#include "imagetime.h"
#include "importbookkeeping.h"
#include "ordertree.h"
#include "picturework.h"
#include "prompts.h"
#include "serverpath.h"
#include "thumbnailthread1.h"
#include "webservice.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScreen>
#include <QStandardItemModel>
#include <QThread>
#include <QTime>

#include <utility>

bool ImportPhotoToServer::isRunning = true;

namespace {

const char* const kPhotoDateProperty = "photodate";
const char* const kLookupProperty = "lookupgeneration";

// A folder of the web service as the file system sees it, with a final "/".
QString localFolder(const QString& servicePath)
{
    if (servicePath.isEmpty())
        return QString();
    return OrderTree::withSlash(Config::returnPicPath(servicePath));
}

} // namespace

ImportPhotoToServer::ImportPhotoToServer(QWidget* parent) : QMainWindow(parent)
{
    ui = new Ui_ImportPhotoToServer;
    ui->setupUi(this);
    isRunning = true;
    m_order = SingleOrder::OrderValues::fromConfig();
    m_jobs.pool()->setMaxThreadCount(QThread::idealThreadCount());
    netManager = new QNetworkAccessManager(this);

    ui->lineEdit_dresser->setText(m_order.dresser);
    ui->lineEdit_cameraman->setText(m_order.cameraman);
    ui->pushButton_photodate->setText(m_order.photoDate);
    ui->lineEdit_otherdate->setText(m_order.serviceCount);
    ui->label_id->setText(m_order.number);
    ui->label_name->setText(m_order.customer);
    ui->refreshPushButton->hide();

    loadingLabel = new QLabel(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    loadingLabel->setText(QStringLiteral("正在加载..."));
    QFont font = loadingLabel->font();
    font.setPointSize(20);
    loadingLabel->setFont(font);
    loadingLabel->setAttribute(Qt::WA_TranslucentBackground);
    loadingLabel->show();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->virtualGeometry();
        loadingLabel->move(desktop.x() + (desktop.width() - loadingLabel->width()) / 2,
                           desktop.y() + (desktop.height() - loadingLabel->height()) / 2);
    }

    connect(ui->importButton, &QPushButton::clicked, this, &ImportPhotoToServer::clickImportPhoto);
    connect(ui->selectButton, &QPushButton::clicked, this, &ImportPhotoToServer::clickSelectPhoto);

    ui->tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tableView, &QWidget::customContextMenuRequested, this,
            &ImportPhotoToServer::tableShowMouseRightButton);
    openSelfPhotoDirAction = new QAction(QStringLiteral("打开照片目录"), this);
    connect(openSelfPhotoDirAction, &QAction::triggered, this, &ImportPhotoToServer::openSelfPhotoDir);
    tableMenu = new QMenu(ui->tableView);
    tableMenu->addAction(openSelfPhotoDirAction);

    ui->reimportButton->hide();
    ui->selectButton->hide();
    photoNames = new QStringList;
    ui->progressBar->hide();

    iniThumbList();
    iniImageNameTable();
    initImportBtn();

    ui->importButton->setEnabled(false);
    QPalette palette = ui->reimportButton->palette();
    palette.setColor(QPalette::ButtonText, QColor(255, 0, 0, 255));
    ui->reimportButton->setPalette(palette);
    ui->lineEdit_orderPRName->setReadOnly(true);

    qDebug() << "sepratePhotoName" << m_order.photoDate.split(QLatin1Char('-'));
    ui->lineEdit_orderPRName->setText(SingleOrder::orderPrefix(m_order.photoDate));
}

ImportPhotoToServer::~ImportPhotoToServer()
{
    // No job may report into a half-destroyed window.
    m_jobs.close();
    delete ui;
    delete photoNames;
    delete loadingLabel;
}

void ImportPhotoToServer::setListedOrders(const QStringList& orderNames)
{
    m_listedOrders = orderNames;
}

void ImportPhotoToServer::iniThumbList()
{
    thumbList = new QListWidget(this);
    thumbList->setIconSize(QSize(1000, 1000));
    thumbList->setResizeMode(QListView::Adjust);
    thumbList->setViewMode(QListView::IconMode);
    thumbList->setMovement(QListView::Static);
    thumbList->setDragEnabled(false);
    thumbList->setSpacing(10);
    thumbList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Photo names differ at their end: keep it in sight.
    thumbList->setTextElideMode(Qt::ElideLeft);
    connect(thumbList, &QListWidget::itemDoubleClicked, this, &ImportPhotoToServer::selectItem);
    ui->verticalLayout->addWidget(thumbList);

    thumbList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(thumbList, &QWidget::customContextMenuRequested, this, &ImportPhotoToServer::listShowMouseRightButton);
    listMenu = new QMenu(thumbList);
    openOrderPhotoDirAction = new QAction(QStringLiteral("打开照片目录"), this);
    connect(openOrderPhotoDirAction, &QAction::triggered, this, &ImportPhotoToServer::openOrderPhotoDir);
    deletePhotoAction = new QAction(QStringLiteral("删除选中照片"), this);
    connect(deletePhotoAction, &QAction::triggered, this, &ImportPhotoToServer::delListPhotoAction);
    listMenu->addAction(openOrderPhotoDirAction);
    listMenu->addSeparator();
    listMenu->addAction(deletePhotoAction);
}

void ImportPhotoToServer::iniImageNameTable()
{
    imageNameModel = new QStandardItemModel(this);
    imageNameModel->setHorizontalHeaderItem(0, new QStandardItem(tr("照片")));
    ui->tableView->setModel(imageNameModel);
    ui->tableView->setColumnWidth(0, ui->tableView->width());
    ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(ui->tableView, &QAbstractItemView::doubleClicked, this, &ImportPhotoToServer::selectRow);
}

void ImportPhotoToServer::initImportBtn()
{
    importBtnGroup = new QButtonGroup(this);
    importBtnGroup->setExclusive(true);
    const QList<QPushButton*> buttons{ui->importPic1, ui->importPic2, ui->importPic3};
    for (int i = 0; i < buttons.size(); ++i) {
        buttons.at(i)->setCheckable(true);
        buttons.at(i)->setFlat(true);
        importBtnGroup->addButton(buttons.at(i), i + 1);
        connect(buttons.at(i), &QPushButton::toggled, this, &ImportPhotoToServer::importBtnAction);
    }
    ui->importPic2->setChecked(true);
}

void ImportPhotoToServer::importBtnAction()
{
    const int id = importBtnGroup->checkedId();
    if (id < 1 || id > 3)
        return;
    m_mode = id - 1;
    Config::importMode = m_mode;

    static const char* const loading[] = {"导入照片(加载中)", "导入成品(加载中)", "导入设计(加载中)"};
    const QList<QPushButton*> buttons{ui->importPic1, ui->importPic2, ui->importPic3};
    for (int i = 0; i < buttons.size(); ++i) {
        if (i == m_mode)
            buttons.at(i)->setText(QString::fromUtf8(loading[i]));
        else
            buttons.at(i)->setEnabled(false);
    }
    loadingLabel->show();

    static const char* const titles[] = {"导入照片(原片)", "导入照片(成品)", "导入照片(设计)"};
    setWindowTitle(QString::fromUtf8(titles[m_mode]));
    const bool photos = m_mode == 0;
    ui->lineEdit_orderPRName->setReadOnly(!photos);
    ui->label_6->setVisible(photos);
    ui->lineEdit_folderAppendName->setVisible(photos);
    ui->label_8->setText(photos ? QStringLiteral("照片附加名") : QStringLiteral("订单附加名"));
    ui->lineEdit_picAppendName->setReadOnly(!photos);
    ui->pushButton_photodate->setEnabled(false);

    // The thumbnails of the previous mode are not this mode's.
    showDefaultThumb({});
    queryOrderPath();
    ui->importButton->setEnabled(false);
    if (imageNameModel) {
        imageNameModel->removeRows(0, imageNameModel->rowCount());
        ui->tableView->setModel(imageNameModel);
    }
}

void ImportPhotoToServer::refreshBtn(bool wait)
{
    // The icons arrive on their own; the window never waits for its jobs.
    Q_UNUSED(wait)
    ui->importPic1->setText(QStringLiteral("导入照片"));
    ui->importPic2->setText(QStringLiteral("导入成品"));
    ui->importPic3->setText(QStringLiteral("导入设计"));
    const bool free = !m_importing;
    ui->importPic1->setEnabled(free);
    ui->importPic2->setEnabled(free);
    ui->importPic3->setEnabled(free);
}

void ImportPhotoToServer::setImporting(bool importing)
{
    m_importing = importing;
    ++m_lookupGeneration;
    ui->importButton->setText(importing ? QStringLiteral("导入照片中...") : QStringLiteral("导入"));
    ui->importButton->setEnabled(!importing);
    for (QWidget* control : {static_cast<QWidget*>(ui->importPic1), static_cast<QWidget*>(ui->importPic2),
                             static_cast<QWidget*>(ui->importPic3), static_cast<QWidget*>(ui->selectButton),
                             static_cast<QWidget*>(ui->reimportButton)})
        control->setEnabled(!importing);
    deletePhotoAction->setEnabled(!importing);
}

void ImportPhotoToServer::abandonRun(const QString& text)
{
    m_runClaim.reset();
    showBox([text] { Prompts::longNotice(QStringLiteral("警告"), text); });
    setImporting(false);
    closeRunReports();
}

QNetworkReply* ImportPhotoToServer::post(const QString& route, const QByteArray& body, ReplySlot slot)
{
    QNetworkReply* reply = WebService::post(netManager, route, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, slot] { (this->*slot)(reply); });
    return reply;
}

bool ImportPhotoToServer::claimRunFolder(const QString& folder)
{
    auto claim = std::make_shared<const FoldersInUse::Claim>(folder, m_order.number);
    if (claim->refused()) {
        abandonRun(FoldersInUse::importRefusedText(m_order.number));
        return false;
    }
    m_runClaim = std::move(claim);
    return true;
}

SingleOrder::NamePieces ImportPhotoToServer::namePieces(const QString& append) const
{
    return SingleOrder::NamePieces::clean(ui->lineEdit_orderPRName->text(), m_order.number, append,
                                          m_order.serviceCount);
}

QString ImportPhotoToServer::serviceForm(const QString& local) const
{
    if (local.isEmpty())
        return QString();
    if (local == orderPath)
        return m_serviceOrderPath;
    if (local == orderBakPath)
        return m_serviceBackupPath;
    return local;
}

// ---- Order path lookup and existing photos ----

void ImportPhotoToServer::queryOrderPath()
{
    // A kept report is answered first, so the lookup reads what it set.
    sendKeptReports([this] { postOrderPathQuery(); });
}

void ImportPhotoToServer::postOrderPathQuery()
{
    QNetworkReply* reply = post(Config::url_query_orderpicpath, SingleOrder::orderPathQueryBody(m_order.id),
                                &ImportPhotoToServer::backOrderPath);
    reply->setProperty(kLookupProperty, m_lookupGeneration);
}

void ImportPhotoToServer::backOrderPath(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    const bool stale = reply->property(kLookupProperty).toInt() != m_lookupGeneration;
    reply->deleteLater();
    // An answer that comes during a run, or was asked before one began or
    // ended, may name the order's folders as they were before the run made
    // them, and the run's shot-time records and count report would follow
    // it elsewhere. The run keeps its own folders; a count report taken
    // looks the order up anew.
    if (m_importing || stale) {
        loadingLabel->hide();
        refreshBtn(false);
        return;
    }
    if (WebService::reportFailure(r, QStringLiteral("错误代码：") + r.code, Prompts::Yes)) {
        loadingLabel->hide();
        // A failed lookup must not strand the window without its mode buttons.
        refreshBtn(false);
        return;
    }
    const QJsonObject data = r.object.value(QLatin1String("data")).toObject();
    const QString serviceOrder = data.value(QLatin1String("orderpath")).toString();
    const QString serviceBackup = data.value(QLatin1String("orderbakpicpath")).toString();
    const QString order = localFolder(serviceOrder);
    const QString backup = localFolder(serviceBackup);
    // A folder that climbs out of the shares is never written: the lookup
    // ends as a refused one, with the paths it had.
    for (const QString& folder : {order, backup}) {
        if (!folder.isEmpty() && !ServerPath::isUnderMountRoot(folder)) {
            qDebug() << "服务器路径错误" << folder;
            Prompts::notice(QStringLiteral("警告"), QStringLiteral("服务器路径错误"));
            loadingLabel->hide();
            refreshBtn(false);
            return;
        }
    }
    m_serviceOrderPath = serviceOrder;
    m_serviceBackupPath = serviceBackup;
    orderPath = order;
    orderBakPath = backup;

    ui->selectButton->show();
    if (!orderPath.isEmpty()) {
        ui->reimportButton->show();
        auto* check = new CheckDirThread(orderPath);
        connect(check, &CheckDirThread::onFinishCheck, this, &ImportPhotoToServer::onIsPathExist);
        check->start();
        return;
    }
    ui->reimportButton->hide();
    ui->lineEdit_folderAppendName->setReadOnly(false);
    ui->lineEdit_picAppendName->setReadOnly(false);
    showExistImages(QString());
    refreshBtn(true);
    loadingLabel->hide();
}

void ImportPhotoToServer::onIsPathExist(bool exist)
{
    if (exist) {
        writeOrderAppendPath();
        showExistImages(orderPath);
        refreshBtn(true);
    } else {
        refreshBtn(false);
    }
    loadingLabel->hide();
}

void ImportPhotoToServer::writeOrderAppendPath()
{
    ui->lineEdit_folderAppendName->setReadOnly(true);
    ui->lineEdit_picAppendName->setReadOnly(true);
    const QString folderName = QFileInfo(QDir::cleanPath(orderPath)).fileName();
    ui->lineEdit_folderAppendName->setText(SingleOrder::folderAppend(folderName, namePieces(QString())));

    const QString folder = orderPath + SingleOrder::modeFolders(m_mode).main;
    const QStringList photos = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::AllEntries | QDir::NoDotAndDotDot,
                                                      QDir::Name | QDir::IgnoreCase);
    QString append;
    if (!photos.isEmpty() && SingleOrder::photoAppend(photos.first(), &append))
        ui->lineEdit_picAppendName->setText(append);
}

void ImportPhotoToServer::showExistImages(QString path)
{
    const SingleOrder::ModeFolders folders = SingleOrder::modeFolders(m_mode);
    path = OrderTree::withSlash(path);
    const QString thumbs = path + folders.thumb1000;
    const QString photos = path + folders.main;
    // Without an order folder there is nothing to list (an empty path would
    // name the working directory).
    using Presence = FileOperation::Presence;
    const Presence thumbsFolder = path.isEmpty() ? Presence::Missing : FileOperation::lookUp(thumbs);
    if (thumbsFolder != Presence::Folder && thumbsFolder != Presence::Unreadable) {
        existPhotoCount = 0;
        ui->label_4->setText(SingleOrder::emptyCaption(m_mode));
        showDefaultThumb({});
        return;
    }
    // A folder that could not be looked at or read, or a photo of the list
    // that could not be looked at, shows no photos and no count.
    QFileInfoList entries;
    const int count = getFolderPhotoCount(photos);
    bool read = thumbsFolder == Presence::Folder && count >= 0 &&
                FileOperation::listMatching(thumbs, {}, QDir::Files | QDir::NoDotAndDotDot, &entries);
    QList<QString> listed;
    for (int i = 0; read && i < entries.size(); ++i) {
        const Presence photo = FileOperation::lookUp(photos + entries.at(i).fileName());
        read = photo != Presence::Unreadable;
        if (photo == Presence::File)
            listed.append(entries.at(i).filePath());
    }
    if (!read) {
        ui->label_4->setText(SingleOrder::unreadableCaption(m_mode));
        showDefaultThumb({});
        return;
    }
    updateThumb(listed);
    existPhotoCount = count;
    ui->label_4->setText(SingleOrder::countCaption(m_mode, existPhotoCount));
}

void ImportPhotoToServer::updateThumb(QList<QString> paths)
{
    showDefaultThumb(paths);
    for (int i = 0; i < paths.size(); ++i)
        m_jobs.start(new ThumbnailThread1(paths.at(i), i, m_jobs.owner(), 100, m_listGeneration));
}

void ImportPhotoToServer::showDefaultThumb(QList<QString> paths)
{
    thumbList->clear();
    // Icons still coming for the previous listing are dropped.
    ++m_listGeneration;
    for (const QString& path : paths) {
        auto* item = new QListWidgetItem(FileOperation::getFileName(path), thumbList);
        // Wide enough for a whole photo name under the 100-pixel icon.
        item->setSizeHint(QSize(130, 124));
        item->setTextAlignment(Qt::AlignBottom | Qt::AlignHCenter);
        item->setToolTip(item->text());
    }
}

void ImportPhotoToServer::updateThumbIcon(int index, QPixmap pic)
{
    if (QListWidgetItem* item = thumbList->item(index))
        item->setIcon(QIcon(pic));
}

void ImportPhotoToServer::setThumbIcon(int generation, int index, QImage image)
{
    if (generation != m_listGeneration)
        return;
    updateThumbIcon(index, PictureWork::toPixmap(image));
}

// ---- Photo selection, naming and the photo list ----

void ImportPhotoToServer::clickSelectPhoto()
{
    selectedPhotos.clear();
    photoNames->clear();
    ui->progressBar->setValue(0);
    ui->progressBar->hide();
    updateTable();

    const QStringList chosen = Prompts::instance().getOpenFileNames(this, QStringLiteral("选择照片"), Config::lastDir,
                                                                    QStringLiteral("JPG(*.jpg*)"));
    for (const QString& path : chosen) {
        if (!SingleOrder::isHiddenChoice(path))
            selectedPhotos.append(path);
    }
    if (selectedPhotos.isEmpty())
        return;

    Config::lastDir = selectedPhotos.first();
    ui->label_importPhotoCount->setText(QStringLiteral("导入照片: %1张").arg(selectedPhotos.size()));
    selfPhotoDir = QFileInfo(selectedPhotos.first()).absolutePath();
    if (m_mode == 0) {
        // The names to show; each photo claims its own when it is written.
        m_choicePieces = namePieces(ui->lineEdit_picAppendName->text());
        *photoNames = SingleOrder::photoNamesIn(orderPath, m_choicePieces, selectedPhotos.size());
    } else {
        for (const QString& path : qAsConst(selectedPhotos))
            photoNames->append(QFileInfo(path).fileName());
    }
    updateTable();
    ui->importButton->setEnabled(true);
}

int ImportPhotoToServer::getFileNumber(QFileInfo info)
{
    return SingleOrder::fileNumber(info.fileName());
}

void ImportPhotoToServer::updateTable()
{
    imageNameModel->removeRows(0, imageNameModel->rowCount());
    for (int i = 0; i < photoNames->size(); ++i)
        imageNameModel->setItem(i, 0, new QStandardItem(photoNames->at(i)));
}

void ImportPhotoToServer::clickClearPhoto()
{
    selectedPhotos.clear();
    photoNames->clear();
    ui->progressBar->setValue(0);
    ui->progressBar->hide();
    updateTable();
}

void ImportPhotoToServer::on_lineEdit_folderAppendName_textChanged(QString arg1)
{
    if (!picAppendNameEdited)
        ui->lineEdit_picAppendName->setText(arg1);
}

void ImportPhotoToServer::on_lineEdit_folderAppendName_editingFinished()
{
    ui->lineEdit_folderAppendName->setText(ui->lineEdit_folderAppendName->text().remove(QLatin1Char('-')));
}

void ImportPhotoToServer::on_lineEdit_picAppendName_editingFinished()
{
    picAppendNameEdited = true;
    ui->lineEdit_picAppendName->setText(ui->lineEdit_picAppendName->text().remove(QLatin1Char('-')));
}

void ImportPhotoToServer::delListPhotoAction()
{
    QStringList files;
    for (const QListWidgetItem* item : thumbList->selectedItems())
        files.append(item->text());
    delListFiles(&files);
}

void ImportPhotoToServer::delListFiles(const QStringList* files)
{
    if (m_importing || orderPath.isEmpty())
        return;
    // Named files go, never the tree: the folder's content need not be read
    // on this thread.
    const DeletionGuard::Result verdict = DeletionGuard::check(QDir::cleanPath(orderPath), {}, false);
    if (!verdict.allowed()) {
        qDebug() << "拒绝删除" << orderPath << verdict.reason();
        Prompts::longNotice(QStringLiteral("警告"),
                            QStringLiteral("照片不能删除：%1（%2）").arg(orderPath, verdict.reason()), this);
        // What the list shows may no longer be what the folder holds.
        queryOrderPath();
        return;
    }
    const SingleOrder::ModeFolders folders = SingleOrder::modeFolders(m_mode);
    for (const QString& text : *files) {
        const QString name = ImportBookkeeping::plainFileName(text);
        if (name.isEmpty())
            continue;
        for (const QString& folder : {folders.main, folders.thumb1000, folders.thumb200, folders.thumb2250})
            FileOperation::removeFile(orderPath + folder + name);
    }
    queryOrderPath();
}

void ImportPhotoToServer::openSelfPhotoDir()
{
    FileOperation::openFileDir(OrderTree::withSlash(selfPhotoDir.isEmpty() ? QStringLiteral("/") : selfPhotoDir));
}

void ImportPhotoToServer::openOrderPhotoDir()
{
    if (orderPath.isEmpty())
        return;
    QString folder = SingleOrder::modeFolders(m_mode).main;
    folder.chop(1);
    FileOperation::openOrderFolder(OrderTree::withSlash(orderPath) + folder, this);
}

void ImportPhotoToServer::on_refreshPushButton_clicked()
{
    showExistImages(orderPath);
}

// ---- Photo date change ----

void ImportPhotoToServer::on_pushButton_photodate_clicked()
{
    auto* picker = new CalendarPicker(nullptr);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &CalendarPicker::urgentDate, this, &ImportPhotoToServer::on_newPhotoDateDate);
    picker->show();
}

void ImportPhotoToServer::on_newPhotoDateDate(QString date)
{
    // "清除" gives no date; the order keeps its own.
    if (date.isEmpty())
        return;
    ui->pushButton_photodate->setText(date);
    postPhotoDate();
    const QString prefix = SingleOrder::orderPrefix(date);
    if (!prefix.isEmpty())
        ui->lineEdit_orderPRName->setText(prefix);
}

void ImportPhotoToServer::postPhotoDate()
{
    const QString date = ui->pushButton_photodate->text();
    QNetworkReply* reply = post(Config::url_post_photodate, SingleOrder::photoDateBody(m_order.id, date),
                                &ImportPhotoToServer::queryPostPhotoDate);
    reply->setProperty(kPhotoDateProperty, date);
}

void ImportPhotoToServer::queryPostPhotoDate(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    const QString date = reply->property(kPhotoDateProperty).toString();
    reply->deleteLater();
    if (WebService::reportRecordFailure(r, QStringLiteral("错误代码：") + r.code, Prompts::Yes))
        return;
    emit refreshSearchTable();
    m_order.photoDate = date;
    // Config's current order may meanwhile be another window's.
    if (Config::order_id == m_order.id)
        Config::order_photodate = date;
}

// ---- Server path lookup and order folder creation ----

void ImportPhotoToServer::queryServerPath()
{
    post(Config::url_query_picpath, SingleOrder::serverPathQueryBody(), &ImportPhotoToServer::backServerPath);
}

void ImportPhotoToServer::backServerPath(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    reply->deleteLater();
    // A run stopped while the paths were asked for starts nothing.
    if (!m_importing)
        return;
    if (!r.ok()) {
        showBox([r] { WebService::reportFailure(r, r.message, Prompts::Yes); });
        setImporting(false);
        closeRunReports();
        return;
    }
    m_serviceServerPath = r.object.value(QLatin1String("picpath")).toString();
    m_serviceBackupServerPath = r.object.value(QLatin1String("bakpicpath")).toString();
    serverPath = localFolder(m_serviceServerPath);
    bakServerPath = localFolder(m_serviceBackupServerPath);
    Config::importServHousePath = r.object.value(QLatin1String("homepicpath")).toString();
    qDebug() << "picpath" << serverPath << "bakpicpath" << bakServerPath << "homepicpath"
             << Config::importServHousePath;
    if (createOrderDir(serverPath, bakServerPath))
        import();
}

bool ImportPhotoToServer::createOrderDir(QString server, QString backup)
{
    qDebug() << "current=" << getCurrentTime();
    // A root that climbs out of the shares is never made or written.
    if (server.isEmpty() || !ServerPath::isUnderMountRoot(server) ||
        (!QFileInfo(server).isDir() && !QDir().mkdir(server))) {
        qDebug() << "服务器路径错误" << server;
        abandonRun(QStringLiteral("服务器路径错误"));
        return false;
    }
    if (backup.isEmpty() || !ServerPath::isUnderMountRoot(backup) ||
        (!QFileInfo(backup).isDir() && !QDir().mkdir(backup))) {
        qDebug() << "备份服务器路径错误" << backup;
        abandonRun(QStringLiteral("备份服务器路径错误。"));
        return false;
    }
    const QString append =
        m_mode == 0 ? ui->lineEdit_folderAppendName->text() : ui->lineEdit_picAppendName->text();
    const OrderTree::Location location =
        OrderTree::locate(SingleOrder::orderFolderName(namePieces(append)), QString(), m_order.photoDate);
    if (!location.isValid()) {
        abandonRun(QStringLiteral("拍摄日期无效：%1").arg(m_order.photoDate));
        return false;
    }
    // Registered before anything is made: nothing is made in a folder that
    // is being deleted.
    if (!claimRunFolder(server + location.relative + QLatin1Char('/')))
        return false;
    OrderTree::build(server, backup, location);

    orderPath = server + location.relative + QLatin1Char('/');
    orderBakPath = backup + location.relative + QLatin1Char('/');
    m_serviceOrderPath =
        ImportBookkeeping::serverFormPath(orderPath, server, m_serviceServerPath, orderPath);
    m_serviceBackupPath =
        ImportBookkeeping::serverFormPath(orderBakPath, backup, m_serviceBackupServerPath, orderBakPath);
    qDebug() << "current2=" << getCurrentTime();
    return true;
}

QString ImportPhotoToServer::getCurrentTime()
{
    const QTime now = QTime::currentTime();
    return QStringLiteral("%1:%2:%3:%4").arg(now.hour()).arg(now.minute()).arg(now.second()).arg(now.msec());
}

int ImportPhotoToServer::getFolderPhotoCount(QString folder)
{
    return ImportBookkeeping::folderPhotoCount(folder);
}

// ---- Import run, completion and path reports ----

void ImportPhotoToServer::clickImportPhoto()
{
    if (photoNames->isEmpty()) {
        Prompts::notice(QStringLiteral("警告"), QStringLiteral("请先添加照片"), this);
        return;
    }
    setImporting(true);
    m_jobsStarted = false;
    m_runReporting = true;
    m_runReportFailures.clear();
    sendKeptReports([this] {
        if (m_jobs.isClosed() || !m_importing)
            return;
        if (!orderPath.isEmpty() && !orderBakPath.isEmpty())
            import();
        else
            queryServerPath();
    });
}

void ImportPhotoToServer::import()
{
    m_runMode = m_mode;
    const bool photos = m_runMode == 0;
    // No deletion of this process takes the folder while the run writes.
    if (!claimRunFolder(orderPath))
        return;
    for (const QString& folder : photos ? QStringList{orderPath, orderBakPath} : QStringList{orderPath}) {
        const QString fault = FileOperation::orderFolderFault(folder);
        if (!fault.isEmpty()) {
            abandonRun(fault);
            return;
        }
    }
    // Counted before anything is written: a count that cannot be read
    // ends the run as a missing folder does. A folder still missing counts 0.
    const SingleOrder::ModeFolders folders = SingleOrder::modeFolders(m_runMode);
    oriOrderPicCount = getFolderPhotoCount(orderPath + folders.main);
    if (photos)
        oriBackPicCount = getFolderPhotoCount(orderBakPath + folders.main);
    qDebug() << "oriOrderPicCount" << oriOrderPicCount << "oriBackPicCount" << oriBackPicCount;
    if (oriOrderPicCount < 0 || (photos && oriBackPicCount < 0)) {
        const QString base = oriOrderPicCount < 0 ? orderPath : orderBakPath;
        abandonRun(FileOperation::unreadableFolderText(base + folders.main));
        return;
    }
    // An order folder made earlier, or by another program, may lack the
    // mode's folders; every write into it would fail without them.
    for (const QString& folder : {folders.main, folders.thumb2250, folders.thumb1000, folders.thumb200})
        QDir().mkpath(orderPath + folder);
    if (photos)
        QDir().mkpath(orderBakPath + folders.main);

    ui->progressBar->setMaximum(photoNames->size());
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    finishedCount = 0;
    m_failedPhotos.clear();
    m_partlyWritten.clear();
    m_runDiskFull = false;
    m_notBegun.clear();
    m_runCommitted = {};
    imageTimeText.clear();
    postOrderPath_2(orderPath);
    // Photos are numbered on from what the folder holds now; each claims
    // its name, or the next free one, when its main copy is written.
    const QStringList names =
        photos ? SingleOrder::photoNamesIn(orderPath, m_choicePieces, photoNames->size()) : *photoNames;
    // The run's jobs share one record of the folders swept of stale
    // temporary files.
    const auto swept = std::make_shared<FileOperation::SweptFolders>();
    m_runStop = std::make_shared<std::atomic<bool>>(false);
    m_jobsStarted = true;
    for (int i = 0; i < names.size(); ++i) {
        const QString picPath = selectedPhotos.value(i);
        m_jobs.start(new ThumbnailThread1(picPath, names.at(i), orderPath, orderBakPath, m_jobs.owner(), 1000,
                                          m_runMode, m_runClaim, swept, m_runStop));
    }
}

void ImportPhotoToServer::onImportImageFailed(QString picPath, bool diskFull)
{
    qDebug() << "照片导入失败" << picPath;
    if (!m_importing)
        return;
    m_failedPhotos.append(QFileInfo(picPath).fileName());
    m_runDiskFull = m_runDiskFull || diskFull;
}

void ImportPhotoToServer::onImportImagePartlyWritten(QString picPath, QString name, bool diskFull)
{
    qDebug() << "照片部分文件未写入" << picPath << name;
    if (!m_importing)
        return;
    m_partlyWritten.append(QFileInfo(picPath).fileName() + QStringLiteral(" → ") + name);
    m_runDiskFull = m_runDiskFull || diskFull;
}

void ImportPhotoToServer::onImportImageCommitted(int photos, int backups)
{
    if (!m_importing)
        return;
    m_runCommitted.order += photos;
    m_runCommitted.backup += backups;
}

void ImportPhotoToServer::onImportImageNotBegun(QString picPath)
{
    if (!m_importing)
        return;
    m_notBegun.append(QFileInfo(picPath).fileName());
    onFinishImportImage(QString());
}

void ImportPhotoToServer::onFinishImportImage(QString imageTime)
{
    if (!m_importing)
        return;
    imageTimeText += imageTime;
    ++finishedCount;
    ui->progressBar->setValue(finishedCount);
    ui->label_4->setText(SingleOrder::countCaption(m_runMode, existPhotoCount + finishedCount));
    if (finishedCount < ui->progressBar->maximum())
        return;

    const bool recorded = writeImageTime(imageTimeText);
    imageTimeText.clear();
    m_runClaim.reset();
    ui->importButton->setEnabled(false);
    ui->progressBar->setValue(0);
    ui->progressBar->setMaximum(0);
    ui->progressBar->hide();

    // The caption has counted every photo that ended; the folder holds what
    // was listed before and what the run added (a replaced photo, or one not
    // copied, adds nothing).
    existPhotoCount += m_runCommitted.order;
    ui->label_4->setText(SingleOrder::countCaption(m_runMode, existPhotoCount));

    const bool photos = m_runMode == 0;
    const SingleOrder::Counts before{oriOrderPicCount, photos ? oriBackPicCount : 0};
    // What this run committed, so another window or station importing into
    // the order meanwhile adds nothing, and a photo that replaced one of its
    // name adds nothing either.
    const SingleOrder::Counts after{before.order + m_runCommitted.order,
                                    before.backup + m_runCommitted.backup};
    QString title = QStringLiteral("导片成功!");
    QString text = SingleOrder::completionText(m_runMode, before, after);
    QStringList problems;
    if (m_runDiskFull)
        problems.append(QStringLiteral("服务器空间不足，请清理空间后再导入"));
    if (!m_failedPhotos.isEmpty()) {
        m_failedPhotos.sort(Qt::CaseInsensitive);
        problems << QStringLiteral("%1张照片导入失败").arg(m_failedPhotos.size()) << m_failedPhotos;
    }
    // Photos in the order, counted and recorded, with another of their
    // files not written: importing them again would store them twice.
    if (!m_partlyWritten.isEmpty()) {
        m_partlyWritten.sort(Qt::CaseInsensitive);
        problems << QStringLiteral("%1张照片已导入，部分文件未写入").arg(m_partlyWritten.size())
                 << m_partlyWritten;
    }
    // A stopped run's photos that were never begun are apart from those
    // that failed: nothing of them was written.
    if (!m_notBegun.isEmpty()) {
        m_notBegun.sort(Qt::CaseInsensitive);
        problems << QStringLiteral("%1张照片未导入").arg(m_notBegun.size()) << m_notBegun;
    }
    if (!recorded)
        problems.append(QStringLiteral("拍摄时间记录写入失败"));
    if (!problems.isEmpty()) {
        title = QStringLiteral("警告");
        text = problems.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + text;
    }
    showBox([title, text] { Prompts::longNotice(title, text); });

    // The run's photos leave the choice: a second click would import them
    // again under new numbers.
    selectedPhotos.clear();
    photoNames->clear();
    updateTable();
    ui->label_importPhotoCount->setText(QStringLiteral("导入照片: 0张"));

    postOrderPath(orderPath, m_runCommitted.order, m_runCommitted.backup);
    setImporting(false);
}

bool ImportPhotoToServer::writeImageTime(QString text)
{
    const bool written = ImageTime::append(orderPath, text);
    if (!written)
        qDebug() << "拍摄时间记录写入失败" << ImageTime::filePath(orderPath);
    return written;
}

ReportStore::Report ImportPhotoToServer::orderReport(ReportStore::Kind kind, const QByteArray& body) const
{
    ReportStore::Report report(kind, body, m_order.number);
    report.orderId = m_order.id;
    report.orderName = QStringLiteral("%1-%2").arg(m_order.number, m_order.serviceCount);
    report.listedOrders = m_listedOrders;
    return report;
}

void ImportPhotoToServer::postOrderPath_2(QString path)
{
    ReportStore::Report report =
        orderReport(ReportStore::Kind::Paths,
                    SingleOrder::pathReportBody(m_order.id, serviceForm(path), serviceForm(orderBakPath)));
    report.orderFolder = serviceForm(path);
    report.backupFolder = serviceForm(orderBakPath);
    postReport(report, &ImportPhotoToServer::submitPicPath_2);
}

void ImportPhotoToServer::postOrderPath(QString path, int photoCount, int backupCount)
{
    const QByteArray body = SingleOrder::countReportBody(m_order.id, serviceForm(path), serviceForm(orderBakPath),
                                                         photoCount, backupCount, m_mode);
    ReportStore::Report report = orderReport(ReportStore::Kind::Counts, body);
    report.orderFolder = serviceForm(path);
    report.backupFolder = serviceForm(orderBakPath);
    // The 重新导片 report, of no photos, sets the order's folder only.
    report.addsCount = photoCount != 0 || backupCount != 0;
    postReport(report, &ImportPhotoToServer::submitPicPath);
    qDebug() << "提交路径地址2 url" << Config::url_post_orderpicpath;
    qDebug() << "copyF post paras" << body;
}

void ImportPhotoToServer::postReport(const ReportStore::Report& report, ReplySlot slot)
{
    // The store reads the answer also once this window has gone.
    ReportStore::instance().send(report, this,
                                 [this, slot](const ReportStore::Report&, QNetworkReply* reply,
                                              ReportStore::Fate) { (this->*slot)(reply); });
}

void ImportPhotoToServer::submitPicPath_2(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    const ReportStore::Fate fate = ReportStore::fateOf(reply);
    reply->deleteLater();
    if (r.kind == WebService::Reply::Kind::TransportError)
        qDebug() << "error" << r.errorString;
    else if (r.kind != WebService::Reply::Kind::NotJsonObject)
        qDebug() << "上传路径obj" << r.object;
    reportAnswered(orderReport(ReportStore::Kind::Paths), r, fate, false);
}

void ImportPhotoToServer::submitPicPath(QNetworkReply* reply)
{
    const WebService::Reply r = WebService::read(reply);
    const ReportStore::Fate fate = ReportStore::fateOf(reply);
    reply->deleteLater();
    if (r.kind == WebService::Reply::Kind::TransportError)
        qDebug() << "error" << r.errorString;
    else
        qDebug() << "copyF Json:" << r.body << "code" << r.code;
    reportAnswered(orderReport(ReportStore::Kind::Counts), r, fate, false);
}

void ImportPhotoToServer::reportAnswered(const ReportStore::Report& report, const WebService::Reply& r,
                                         ReportStore::Fate fate, bool resent)
{
    const bool runCounts = report.kind == ReportStore::Kind::Counts && !resent;
    if (r.kind == WebService::Reply::Kind::Refusal) {
        // A kept report may be another order's: its box names the order.
        if (resent) {
            const ImportBookkeeping::Box box = ReportStore::refusedBox(report, r.code, m_listedOrders);
            showBox([box] { Prompts::longNotice(box.title, box.text); });
        } else {
            const QString text = ReportStore::refusalText(report.kind, r.code);
            showBox([text] { Prompts::notice(QStringLiteral("警告"), text); });
        }
    } else if (fate == ReportStore::Fate::GivenUp) {
        // The service may hold it: not sent again, to be checked.
        reportNotReceived(report, ImportBookkeeping::reportFailureStatus(r), fate);
    } else if (!ReportStore::isAnswer(r)) {
        // The store keeps it. A resend that fails again was told when it
        // first failed; a run names it again in its box.
        if (!resent || m_runReporting)
            reportNotReceived(report, ImportBookkeeping::reportFailureStatus(r), fate);
    }
    if (!runCounts)
        return;
    // An accepted count report of the window's own shows the order anew,
    // unless the window goes once its run has reported.
    const bool lookAgain = r.ok() && !m_stopping;
    closeRunReports();
    if (lookAgain)
        queryOrderPath();
}

void ImportPhotoToServer::sendKeptReports(std::function<void()> next)
{
    m_afterResend.append(std::move(next));
    if (m_resending)
        return;
    m_resending = true;
    ReportStore::instance().resendKept(
        this,
        [this](const ReportStore::Report& report, QNetworkReply* reply, ReportStore::Fate fate) {
            if (fate == ReportStore::Fate::GivenUp) {
                // Its own box: it is not sent again, as the run's box says
                // of the others.
                const ImportBookkeeping::Box box = ReportStore::givenUpBox(report, m_listedOrders);
                showBox([box] { Prompts::longNotice(box.title, box.text); });
                return;
            }
            const WebService::Reply r = WebService::read(reply);
            qDebug() << "重新上报" << r.statusText << r.code;
            reportAnswered(report, r, fate, true);
        },
        [this] { goOnAfterResend(); });
}

void ImportPhotoToServer::goOnAfterResend()
{
    m_resending = false;
    const QList<std::function<void()>> next = std::move(m_afterResend);
    m_afterResend.clear();
    for (const std::function<void()>& step : next)
        step();
}

void ImportPhotoToServer::reportNotReceived(const ReportStore::Report& report, const QString& httpStatus,
                                            ReportStore::Fate fate)
{
    const ImportBookkeeping::Afterwards afterwards = fate == ReportStore::Fate::GivenUp
                                                         ? ImportBookkeeping::Afterwards::Check
                                                         : ImportBookkeeping::Afterwards::SentAgain;
    ImportBookkeeping::ReportFailure failure = ReportStore::failureOf(report, httpStatus);
    failure.afterwards = afterwards;
    if (m_runReporting) {
        // One line a report of an order and fate, with what its latest send
        // met; the other service time of the booking is another order.
        for (ImportBookkeeping::ReportFailure& named : m_runReportFailures) {
            if (named.orderName == failure.orderName && named.kind == failure.kind &&
                named.afterwards == afterwards) {
                named.httpStatus = httpStatus;
                return;
            }
        }
        m_runReportFailures.append(failure);
        return;
    }
    const ImportBookkeeping::Box box =
        ImportBookkeeping::notTakenBox({failure}, afterwards, report.listedOrders + m_listedOrders);
    showBox([box] { Prompts::longNotice(box.title, box.text); });
}

void ImportPhotoToServer::closeRunReports()
{
    if (m_runReporting) {
        m_runReporting = false;
        // The reports kept, then those given up, each group with its line.
        const ImportBookkeeping::Box box = ImportBookkeeping::batchEndBox(
            0, false, false, {}, std::exchange(m_runReportFailures, {}), {}, {}, {}, m_listedOrders);
        if (!box.title.isEmpty())
            showBox([box] { Prompts::longNotice(box.title, box.text); });
    }
    // A stopped run has reported: its window goes now, or once the boxes
    // open now are answered.
    if (m_stopping) {
        Prompts::whenNoBoxOpen(this, [this] {
            if (std::exchange(m_stopping, false))
                close();
        });
    }
}

void ImportPhotoToServer::on_reimportButton_clicked()
{
    if (m_importing)
        return;
    const Prompts::StandardButton answer =
        Prompts::question(nullptr, QStringLiteral("注意"),
                          QStringLiteral("是否要重新读该订单？若是点击后请自行删除订单原文件夹"),
                          Prompts::StandardButtons(Prompts::Yes | Prompts::No), Prompts::Yes);
    if (answer != Prompts::Yes)
        return;
    if (!orderPath.isEmpty())
        FileOperation::removeFile(ImageTime::filePath(orderPath));
    // After the kept reports, or the service could store them over this one.
    sendKeptReports([this] { postOrderPath(QString(), 0, 0); });
}

// ---- The window itself ----

void ImportPhotoToServer::selectRow(QModelIndex index)
{
    if (index.row() >= 0 && index.row() < selectedPhotos.size())
        FileOperation::openFileDir(selectedPhotos.at(index.row()));
}

void ImportPhotoToServer::selectItem(QListWidgetItem* item)
{
    qDebug() << "双击缩略图" << (item ? item->text() : QString());
}

void ImportPhotoToServer::tableShowMouseRightButton(QPoint pos)
{
    Q_UNUSED(pos)
    tableMenu->popup(QCursor::pos());
}

void ImportPhotoToServer::listShowMouseRightButton(QPoint pos)
{
    Q_UNUSED(pos)
    listMenu->popup(QCursor::pos());
}

void ImportPhotoToServer::paintEvent(QPaintEvent* event)
{
    // The one column fills the table.
    ui->tableView->setColumnWidth(0, ui->tableView->viewport()->width());
    QMainWindow::paintEvent(event);
}

void ImportPhotoToServer::closeEvent(QCloseEvent* event)
{
    if (!confirmClose()) {
        event->ignore();
        return;
    }
    emit showSearch();
    m_jobs.close();
    // The jobs still running hold the folder for as long as they write.
    m_runClaim.reset();
    isRunning = false;
    loadingLabel->hide();
    QMainWindow::closeEvent(event);
}

bool ImportPhotoToServer::confirmClose()
{
    // Already stopping: the window closes once the run has reported.
    if (m_stopping || m_closeQuestionOpen)
        return false;
    if (!m_importing)
        return true;
    // The run may end while the question is open; its box waits for the
    // answer, and a no keeps the window open all the same.
    m_closeQuestionOpen = true;
    const Prompts::StandardButton answer =
        Prompts::question(this, QStringLiteral("提示"), QStringLiteral("正在导片，确定停止导片并关闭吗？"),
                          Prompts::Yes | Prompts::No, Prompts::No);
    m_closeQuestionOpen = false;
    const QList<std::function<void()>> held = std::exchange(m_heldBoxes, {});
    for (const std::function<void()>& box : held)
        box();
    if (answer != Prompts::Yes)
        return false;
    if (!m_importing)
        return true;
    if (!m_jobsStarted) {
        // Nothing is written yet: the run ends here, with nothing posted,
        // and a reply still on its way starts nothing.
        m_runClaim.reset();
        m_runReporting = false;
        m_runReportFailures.clear();
        setImporting(false);
        return true;
    }
    // The photos under way arrive, no other begins; the window waits with
    // its event loop running, never on its jobs.
    m_stopping = true;
    m_runStop->store(true);
    centralWidget()->setEnabled(false);
    return false;
}

void ImportPhotoToServer::showBox(std::function<void()> box)
{
    // Never on top of the close question: it is shown once that is answered.
    if (m_closeQuestionOpen)
        m_heldBoxes.append(std::move(box));
    else
        box();
}

#include "importordersphotodlg.h"

#include "clock.h"
#include "config.h"
#include "elidedlabel.h"
#include "fileoperation.h"
#include "foldersinuse.h"
#include "httprequest.h"
#include "imageoperation.h"
#include "importbookkeeping.h"
#include "importordermodel.h"
#include "importorderthread.h"
#include "n8fileinfo.h"
#include "n8importthread.h"
#include "pendingrecords.h"
#include "picturework.h"
#include "prompts.h"
#include "searchorderwindow.h"
#include "webservice.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRunnable>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace IB = ImportBookkeeping;

namespace {

const QString kBatchIdle = QStringLiteral("批量导片");
const QString kBatchRunning = QStringLiteral("导片中...");
const QString kWarning = QStringLiteral("警告");
const QString kNotice = QStringLiteral("温馨提示");

enum Column
{
    ColOrder = 0,
    ColStore,
    ColCustomer,
    ColState,
    ColOperations,
    ColProgress
};

// An order whose folder cannot be looked at: "订单号:<name>", then the folder.
QString unreadableOrderText(const QString& orderName, const QString& folder)
{
    return QStringLiteral("订单号:") + orderName + QLatin1Char('\n') +
           FileOperation::unreadableFolderText(folder);
}

// A search lists the order with another folder than the one it had when
// the dialog let go of it: another window or station has imported it since.
// A search that names no folder knows of nothing newer.
bool serviceMovedOn(const ImportOrderModel& kept, const ImportOrderModel& listed)
{
    const QString folder = listed.getOrderPath();
    return !folder.isEmpty() && QDir::cleanPath(folder) != QDir::cleanPath(kept.getOrderPath());
}

QString withSlash(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

// Widgets in a row of a box where it has room for them, else in two rows:
// the box asks only for the room of the two, so that a larger desktop font
// does not make the window wider than a small screen.
class TwoRowsWhenNarrow : public QObject
{
public:
    TwoRowsWhenNarrow(QWidget* box, QGridLayout* grid, QList<QWidget*> widgets)
        : QObject(box), m_box(box), m_grid(grid), m_widgets(std::move(widgets))
    {
        place(m_widgets.size());
        box->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            if (watched == m_box)
                fit();
            break;
        default:
            break;
        }
        return false;
    }

private:
    int twoRows() const { return (m_widgets.size() + 1) / 2; }

    // The box's width with perRow widgets in each row.
    int widthFor(int perRow) const
    {
        const QMargins margins = m_grid->contentsMargins();
        int widest = 0;
        for (int first = 0; first < m_widgets.size(); first += perRow) {
            int row = m_grid->horizontalSpacing() * (qMin(perRow, m_widgets.size() - first) - 1);
            for (int i = first; i < qMin(first + perRow, m_widgets.size()); ++i)
                row += m_widgets.at(i)->sizeHint().width();
            widest = qMax(widest, row);
        }
        return widest + margins.left() + margins.right() + m_box->width() - m_box->contentsRect().width();
    }

    void fit()
    {
        m_box->setMinimumWidth(widthFor(twoRows()));
        const int perRow = m_box->width() >= widthFor(m_widgets.size()) ? m_widgets.size() : twoRows();
        if (perRow != m_perRow)
            place(perRow);
    }

    void place(int perRow)
    {
        m_perRow = perRow;
        for (QWidget* widget : qAsConst(m_widgets))
            m_grid->removeWidget(widget);
        for (int i = 0; i < m_widgets.size(); ++i)
            m_grid->addWidget(m_widgets.at(i), i / perRow, i % perRow);
    }

    QWidget* m_box;
    QGridLayout* m_grid;
    QList<QWidget*> m_widgets;
    int m_perRow = 0;
};

QLabel* titleLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setProperty("titleS", true);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// A value of the order (a name, a path) is cut in the middle instead of
// widening the dialog past the screen whenever another order is shown; the
// label takes the room its cell has and tells the whole text as its tooltip.
ElidedLabel* valueLabel(const char* name)
{
    auto* label = new ElidedLabel;
    label->setObjectName(QLatin1String(name));
    label->setProperty("info", true);
    return label;
}

// The small square icon of one thumbnail file; null when unreadable.
QImage listIcon(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QImage image = QImage::fromData(file.readAll());
    if (image.isNull())
        return image;
    return ImageOperation::getSquareImage(
        PictureWork::smoothScaled(image, QSize(100, 100), Qt::KeepAspectRatio));
}

} // namespace

importOrdersPhotoDlg::importOrdersPhotoDlg(QWidget* parent)
    : QDialog(parent), netManager(new QNetworkAccessManager(this)),
      m_liveThumbGeneration(QSharedPointer<std::atomic<int>>::create(0))
{
    iniUI();
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(QStringLiteral("#rightTitle {font-size: 16px;font-weight: bold;}QLabel[info=\"true\"] "
                                 "{font-size: 14px;font-weight: bold;}QLabel[titleS=\"true\"] {font-size: "
                                 "14px;color: gray;}"));
    importType = ImportFinished;
    prefieImageEdit->setEnabled(false);
    reImportBtn->setEnabled(false);
    curOrderMdl = nullptr;
    curRow = -1;
    toImportOrderCount = 0;
    lastSelDir = QStringLiteral(".");
    connect(netManager, &QNetworkAccessManager::finished, this, &importOrdersPhotoDlg::isCanSelImgSlot);
    m_reportManager = new QNetworkAccessManager(this);
}

importOrdersPhotoDlg::~importOrdersPhotoDlg()
{
    closeSearchWindows();
    // Reports still on their way end with the dialog, unheard.
    for (QNetworkReply* reply : m_reports.keys())
        disconnect(reply, nullptr, this, nullptr);
    // No pooled job outlives the dialog: the queued ones are dropped and
    // the running ones finish their file first.
    m_jobs.close();
    m_jobs.waitForDone();
    // Normally the worker is gone before the dialog (see closeEvent); when
    // the dialog is destroyed outright it still waits for the current file.
    if (ImportOrderThread* worker = m_worker) {
        disconnect(worker, nullptr, this, nullptr);
        worker->requestInterruption();
        worker->wait();
        delete worker;
    }
}

void importOrdersPhotoDlg::iniUI()
{
    auto* mainLayout = new QHBoxLayout(this);
    // The frames' own margins are the window's: the room goes to the orders
    // and their values.
    mainLayout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("mainSpliter"));
    m_splitter = splitter;
    connect(splitter, &QSplitter::splitterMoved, this, [this] { m_splitterMoved = true; });
    auto* leftFrame = new QFrame(splitter);
    leftFrame->setObjectName(QStringLiteral("leftFrame"));
    auto* rightFrame = new QFrame(splitter);
    rightFrame->setObjectName(QStringLiteral("rightFrame"));
    splitter->addWidget(leftFrame);
    splitter->addWidget(rightFrame);
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 2);
    mainLayout->addWidget(splitter);

    auto* left = new QVBoxLayout(leftFrame);
    iniOrdersTableWgt(left);

    auto* right = new QVBoxLayout(rightFrame);
    rightTitleLbl = new QLabel(IB::typeTexts(ImportFinished).title);
    rightTitleLbl->setObjectName(QStringLiteral("rightTitle"));
    right->addWidget(rightTitleLbl);
    right->addSpacing(20);
    auto* info = new QGridLayout;
    m_infoGrid = info;
    iniOrderInfoBox(info);
    right->addLayout(info);
    right->addSpacing(20);

    auto* suffixBox = new QGroupBox(rightFrame);
    auto* suffixGrid = new QGridLayout(suffixBox);
    prefieFolderEdit = new QLineEdit;
    prefieFolderEdit->setObjectName(QStringLiteral("prefieFolderEdit"));
    prefieImageEdit = new QLineEdit;
    prefieImageEdit->setObjectName(QStringLiteral("prefieImageEdit"));
    suffixGrid->addWidget(new QLabel(QStringLiteral("文件夹后缀:")), 0, 0, Qt::AlignRight);
    suffixGrid->addWidget(prefieFolderEdit, 0, 1, Qt::AlignLeft);
    suffixGrid->addWidget(new QLabel(QStringLiteral("照片后缀:")), 0, 2, Qt::AlignRight);
    suffixGrid->addWidget(prefieImageEdit, 0, 3, Qt::AlignLeft);
    right->addWidget(suffixBox);
    // The order prefix is kept per order but never offered to the user.
    auto* prefieOrderLbl = new QLabel(QStringLiteral("订单前缀:"), this);
    prefieOrderLbl->hide();
    prefieOrderEdit = new QLineEdit(this);
    prefieOrderEdit->setObjectName(QStringLiteral("prefieOrderEdit"));
    prefieOrderEdit->hide();

    auto* lists = new QHBoxLayout;
    auto* chosenColumn = new QVBoxLayout;
    iniOrderSelectTableWgt(chosenColumn);
    auto* importedColumn = new QVBoxLayout;
    iniOrderImportedTableWgt(importedColumn);
    lists->addLayout(chosenColumn, 1);
    lists->addLayout(importedColumn, 3);
    right->addLayout(lists);

    connect(prefieFolderEdit, &QLineEdit::textChanged, this, &importOrdersPhotoDlg::prefieFolderChangedSlot);
    connect(prefieImageEdit, &QLineEdit::textChanged, this, &importOrdersPhotoDlg::prefieImageChangedSlot);
    connect(prefieOrderEdit, &QLineEdit::textChanged, this, &importOrdersPhotoDlg::prefieOrderChangedSlot);
    connect(reImportBtn, &QPushButton::clicked, this, &importOrdersPhotoDlg::reImportBtnSlot);
    connect(openOrderPhotoPathBtn, &QPushButton::clicked, this,
            &importOrdersPhotoDlg::openOrderPhotoPathBtnSlot);
    connect(openOrderOriginPathBtn, &QPushButton::clicked, this,
            &importOrdersPhotoDlg::openOrderOriginPathBtnSlot);
}

void importOrdersPhotoDlg::iniOrdersTableWgt(QVBoxLayout* layout)
{
    auto* typeBox = new QGroupBox;
    auto* typeGrid = new QGridLayout(typeBox);
    importTypeGroup = new QButtonGroup(this);
    QList<QWidget*> radios;
    for (int id = ImportOriginal; id <= ImportN8; ++id) {
        auto* radio = new QRadioButton(IB::typeTexts(ImportTypeEnum(id)).radio);
        radio->setObjectName(QStringLiteral("importTypeRadio%1").arg(id));
        importTypeGroup->addButton(radio, id);
        radios.append(radio);
    }
    new TwoRowsWhenNarrow(typeBox, typeGrid, radios);
    importTypeGroup->button(ImportFinished)->setChecked(true);
    layout->addWidget(typeBox);
    layout->addSpacing(20);

    auto makeButton = [this](const QString& text, const char* name) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QLatin1String(name));
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    upDataVideoUrlsBtn = makeButton(QStringLiteral("更新视频到选片系统"), "upDataVideoUrlsBtn");
    upDataVideoUrlsBtn->hide();
    addNewOrderBtn = makeButton(QStringLiteral("添加订单"), "addNewOrderBtn");
    importAllOrdersBtn = makeButton(kBatchIdle, "importAllOrdersBtn");
    auto* head = new QHBoxLayout;
    head->addWidget(new QLabel(QStringLiteral("订单列表：")));
    head->addStretch();
    head->addWidget(upDataVideoUrlsBtn);
    head->addSpacing(20);
    head->addWidget(addNewOrderBtn);
    head->addSpacing(20);
    head->addWidget(importAllOrdersBtn);
    layout->addLayout(head);

    ordersTableWgt = new QTableWidget(this);
    ordersTableWgt->setObjectName(QStringLiteral("ordersTableWgt"));
    ordersTableWgt->setColumnCount(6);
    ordersTableWgt->setHorizontalHeaderLabels({QStringLiteral("订单号"), QStringLiteral("所属门店"),
                                               QStringLiteral("客户姓名"), QStringLiteral("导片状态"),
                                               QStringLiteral("操作区"), QStringLiteral("导片进度")});
    const int widths[] = {200, 150, 150, 80, 200, 180};
    for (int c = 0; c < 6; ++c)
        ordersTableWgt->setColumnWidth(c, widths[c]);
    ordersTableWgt->setSelectionBehavior(QAbstractItemView::SelectRows);
    ordersTableWgt->setSelectionMode(QAbstractItemView::SingleSelection);
    ordersTableWgt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ordersTableWgt->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(ordersTableWgt);

    tableMenu = new QMenu(ordersTableWgt);
    openOrderPathAction = new QAction(QStringLiteral("查看照片"), this);
    tableMenu->addAction(openOrderPathAction);

    selectAllBtn = makeButton(QStringLiteral("全选"), "selectAllBtn");
    cancelAllBtn = makeButton(QStringLiteral("取消选中"), "cancelAllBtn");
    delAllOrdersBtn = makeButton(QStringLiteral("删除选中"), "delAllOrdersBtn");
    auto* foot = new QHBoxLayout;
    foot->addWidget(selectAllBtn);
    foot->addWidget(cancelAllBtn);
    foot->addWidget(delAllOrdersBtn);
    foot->addStretch();
    layout->addLayout(foot);

    connect(importTypeGroup, &QButtonGroup::idClicked, this, &importOrdersPhotoDlg::importTypeSlot);
    connect(selectAllBtn, SIGNAL(clicked(bool)), this, SLOT(selectAllSlot()));
    connect(cancelAllBtn, SIGNAL(clicked(bool)), this, SLOT(cancelAllSlot()));
    connect(delAllOrdersBtn, SIGNAL(clicked(bool)), this, SLOT(delAllOrdersSlot()));
    connect(upDataVideoUrlsBtn, SIGNAL(clicked(bool)), this, SLOT(upDataVideoUrlsBtnSlot()));
    connect(addNewOrderBtn, SIGNAL(clicked(bool)), this, SLOT(addNewOrderBtnSlot()));
    connect(importAllOrdersBtn, SIGNAL(clicked(bool)), this, SLOT(importAllOrdersBtnSlot()));
    connect(ordersTableWgt, SIGNAL(cellClicked(int, int)), this, SLOT(ordersTableWgtClickedSlot(int)));
    connect(ordersTableWgt, SIGNAL(customContextMenuRequested(const QPoint)), this,
            SLOT(showTableMouseRightButton(QPoint)));
    connect(openOrderPathAction, SIGNAL(triggered()), this, SLOT(tbOpenOrderPathAction()));
}

void importOrdersPhotoDlg::iniOrderInfoBox(QGridLayout* layout)
{
    orderNumLbl = valueLabel("orderNumLbl");
    orderTypeLbl = valueLabel("orderTypeLbl");
    servNumLbl = valueLabel("servNumLbl");
    momNameLbl = valueLabel("momNameLbl");
    dadNameLbl = valueLabel("dadNameLbl");
    babyNameLbl = valueLabel("babyNameLbl");
    taoxiNameLbl = valueLabel("taoxiNameLbl");
    bookedShopLbl = valueLabel("bookedShopLbl");
    bespeakDateLbl = valueLabel("bespeakDateLbl");
    photoerLbl = valueLabel("photoerLbl");
    dresserLbl = valueLabel("dresserLbl");
    yindouerLbl = valueLabel("yindouerLbl");
    orderPathLbl = valueLabel("orderPathLbl");
    orderBackupPathLbl = valueLabel("orderBackupPathLbl");
    orderN8PathLbl = valueLabel("orderN8PathLbl");
    // What a short value asks room for: its usual longest form. A longer
    // one (a long package name) is cut where the box has no more room.
    const QString orderNumber = QStringLiteral("A000000000");
    const auto characters = [](int count) { return QString(count, QChar(0x5B57)); };
    for (ElidedLabel* label : {orderNumLbl, bookedShopLbl})
        label->setRoomFor(orderNumber);
    for (ElidedLabel* label :
         {orderTypeLbl, momNameLbl, dadNameLbl, babyNameLbl, photoerLbl, dresserLbl, yindouerLbl})
        label->setRoomFor(characters(4));
    taoxiNameLbl->setRoomFor(characters(7));
    servNumLbl->setRoomFor(QStringLiteral("00"));
    bespeakDateLbl->setRoomFor(QStringLiteral("0000-00-00 00:00:00"));
    babyNameTitleLbl = titleLabel(QStringLiteral("宝宝姓名："));
    babyNameTitleLbl->setObjectName(QStringLiteral("babyNameTitleLbl"));

    const struct
    {
        int row;
        int column;
        QLabel* title;
        QLabel* value;
    } cells[] = {
        {0, 0, titleLabel(QStringLiteral("订单号：")), orderNumLbl},
        {0, 2, titleLabel(QStringLiteral("拍照类型：")), orderTypeLbl},
        {0, 4, titleLabel(QStringLiteral("服务次数：")), servNumLbl},
        {1, 0, titleLabel(QStringLiteral("女士姓名：")), momNameLbl},
        {1, 2, titleLabel(QStringLiteral("男士姓名：")), dadNameLbl},
        {1, 4, babyNameTitleLbl, babyNameLbl},
        {2, 0, titleLabel(QStringLiteral("套系名：")), taoxiNameLbl},
        {2, 2, titleLabel(QStringLiteral("预约门店：")), bookedShopLbl},
        {2, 4, titleLabel(QStringLiteral("成交日期：")), bespeakDateLbl},
        {3, 0, titleLabel(QStringLiteral("摄影师：")), photoerLbl},
        {3, 2, titleLabel(QStringLiteral("化妆师：")), dresserLbl},
        {3, 4, titleLabel(QStringLiteral("引逗师：")), yindouerLbl},
    };
    for (const auto& cell : cells) {
        layout->addWidget(cell.title, cell.row, cell.column);
        layout->addWidget(cell.value, cell.row, cell.column + 1);
    }

    reImportBtn = new QPushButton(QStringLiteral("重新导片"), this);
    reImportBtn->setObjectName(QStringLiteral("reImportBtn"));
    reImportBtn->setFocusPolicy(Qt::NoFocus);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(orderPathLbl, 1);
    pathRow->addSpacing(40);
    pathRow->addWidget(reImportBtn);
    pathRow->addStretch();
    layout->addWidget(titleLabel(QStringLiteral("订单路径：")), 4, 0);
    layout->addLayout(pathRow, 4, 1, 1, 5);
    layout->addWidget(titleLabel(QStringLiteral("订单备份路径：")), 5, 0);
    layout->addWidget(orderBackupPathLbl, 5, 1, 1, 5);
    layout->addWidget(titleLabel(QStringLiteral("订单N8路径：")), 6, 0);
    layout->addWidget(orderN8PathLbl, 6, 1, 1, 5);

    openOrderPhotoPathBtn = new QPushButton(QStringLiteral("打开路径"), this);
    openOrderPhotoPathBtn->setObjectName(QStringLiteral("openOrderPhotoPathBtn"));
    openOrderOriginPathBtn = new QPushButton(QStringLiteral("打开原始档路径"), this);
    openOrderOriginPathBtn->setObjectName(QStringLiteral("openOrderOriginPathBtn"));
    auto* openRow = new QHBoxLayout;
    openRow->setContentsMargins(10, 10, 0, 0);
    openRow->addWidget(openOrderPhotoPathBtn);
    openRow->addSpacing(20);
    openRow->addWidget(openOrderOriginPathBtn);
    openRow->addStretch();
    layout->addLayout(openRow, 7, 0, 1, 5);
}

void importOrdersPhotoDlg::iniOrderSelectTableWgt(QVBoxLayout* layout)
{
    layout->addWidget(new QLabel(QStringLiteral("选择的照片：")));
    orderSelectTableWgt = new QTableWidget(this);
    orderSelectTableWgt->setObjectName(QStringLiteral("orderSelectTableWgt"));
    orderSelectTableWgt->setColumnCount(1);
    orderSelectTableWgt->setHorizontalHeaderLabels({QStringLiteral("照片名")});
    orderSelectTableWgt->setSelectionMode(QAbstractItemView::NoSelection);
    orderSelectTableWgt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    orderSelectTableWgt->horizontalHeader()->setStretchLastSection(true);
    // A long name keeps its start and its suffix.
    orderSelectTableWgt->setTextElideMode(Qt::ElideMiddle);
    layout->addWidget(orderSelectTableWgt);
}

void importOrdersPhotoDlg::iniOrderImportedTableWgt(QVBoxLayout* layout)
{
    layout->addWidget(new QLabel(QStringLiteral("已经导入的照片：")));
    orderImportedLstWgt = new QListWidget(this);
    orderImportedLstWgt->setObjectName(QStringLiteral("orderImportedLstWgt"));
    orderImportedLstWgt->setViewMode(QListView::IconMode);
    orderImportedLstWgt->setIconSize(QSize(1000, 1000));
    orderImportedLstWgt->setResizeMode(QListView::Adjust);
    orderImportedLstWgt->setMovement(QListView::Static);
    orderImportedLstWgt->setDragEnabled(false);
    orderImportedLstWgt->setSpacing(10);
    orderImportedLstWgt->setSelectionMode(QAbstractItemView::ExtendedSelection);
    orderImportedLstWgt->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(orderImportedLstWgt);

    importedMenu = new QMenu(orderImportedLstWgt);
    openImportedAction = importedMenu->addAction(QStringLiteral("打开照片目录"));
    importedMenu->addSeparator();
    deleteImportedAction = importedMenu->addAction(QStringLiteral("删除选中照片"));
    connect(openImportedAction, SIGNAL(triggered()), this, SLOT(openImportedImgSlot()));
    connect(deleteImportedAction, SIGNAL(triggered()), this, SLOT(deleteImportedImgSlot()));
    connect(orderImportedLstWgt, SIGNAL(customContextMenuRequested(QPoint)), this,
            SLOT(showLstWgtContextMenuSlot(QPoint)));
}

// ---------------------------------------------------------------- order table

QStringList importOrdersPhotoDlg::listedOrderNames() const
{
    QStringList names;
    for (const ImportOrderModel* model : qAsConst(orderMdlLst))
        names.append(model->getOrderName());
    return names;
}

ImportOrderModel* importOrdersPhotoDlg::modelAt(int row) const
{
    return row >= 0 && row < orderMdlLst.size() ? orderMdlLst.at(row) : nullptr;
}

bool importOrdersPhotoDlg::isImportedFor(const ImportOrderModel* model) const
{
    return model->isImported(importType);
}

QStringList importOrdersPhotoDlg::chosenFiles(const ImportOrderModel* model) const
{
    return model->chosenFiles(importType);
}

QLabel* importOrdersPhotoDlg::progressLabel(int row) const
{
    QWidget* cell = ordersTableWgt->cellWidget(row, ColProgress);
    return cell ? cell->findChild<QLabel*>() : nullptr;
}

ElidedLabel* importOrdersPhotoDlg::selectionLabel(int row) const
{
    QWidget* cell = ordersTableWgt->cellWidget(row, ColOperations);
    return cell ? cell->findChild<ElidedLabel*>() : nullptr;
}

void importOrdersPhotoDlg::refreshOrderTable()
{
    const IB::TypeTexts texts = IB::typeTexts(importType);
    ordersTableWgt->setRowCount(orderMdlLst.size());
    for (int row = 0; row < orderMdlLst.size(); ++row) {
        ImportOrderModel* model = orderMdlLst.at(row);
        auto* name = new QTableWidgetItem(model->getOrderName());
        name->setCheckState(Qt::Unchecked);
        ordersTableWgt->setItem(row, ColOrder, name);
        auto* store = new QTableWidgetItem(model->getStoresname());
        store->setTextAlignment(Qt::AlignCenter);
        ordersTableWgt->setItem(row, ColStore, store);
        auto* customer = new QTableWidgetItem(model->getCustName());
        customer->setTextAlignment(Qt::AlignCenter);
        ordersTableWgt->setItem(row, ColCustomer, customer);

        getExistImagesCount(model);
        getExistVideoCount(model);
        const int found = model->foundCount(importType);
        const int done = model->doneCount(importType);
        const bool imported = isImportedFor(model);

        Q_UNUSED(found)
        auto* state = new QTableWidgetItem(rowState(model));
        state->setTextAlignment(Qt::AlignCenter);
        ordersTableWgt->setItem(row, ColState, state);

        auto* operations = new QFrame;
        operations->setObjectName(QStringLiteral("tableFrame"));
        auto* opLayout = new QHBoxLayout(operations);
        opLayout->setContentsMargins(0, 0, 0, 0);
        auto* select = new QPushButton(texts.select);
        select->setProperty("row", row);
        select->setEnabled(!m_batchRunning);
        connect(select, SIGNAL(clicked(bool)), this, SLOT(selectImgBtnSlot()));
        auto* chosen = new ElidedLabel;
        chosen->setText(QStringLiteral("未选"));
        opLayout->addSpacing(10);
        opLayout->addWidget(select);
        opLayout->addSpacing(10);
        opLayout->addWidget(chosen, 1);
        opLayout->addSpacing(10);
        ordersTableWgt->setCellWidget(row, ColOperations, operations);

        auto* progress = new QFrame;
        progress->setObjectName(QStringLiteral("tableFrame"));
        auto* progressLayout = new QHBoxLayout(progress);
        progressLayout->setContentsMargins(0, 0, 0, 0);
        auto* bar = new QProgressBar;
        bar->setFixedWidth(110);
        bar->setAlignment(Qt::AlignCenter);
        auto* count = new QLabel(importType == ImportN8 ? QString() : QStringLiteral("%1/%1").arg(done));
        progressLayout->addSpacing(10);
        progressLayout->addWidget(bar);
        progressLayout->addWidget(count);
        progressLayout->addSpacing(10);
        ordersTableWgt->setCellWidget(row, ColProgress, progress);

        if (imported) {
            bar->setRange(0, done);
            bar->setValue(done);
            chosen->setText(QStringLiteral("已选(%1)").arg(done));
        }
    }
    fitStateColumn();
}

QString importOrdersPhotoDlg::rowState(const ImportOrderModel* model) const
{
    const ImportOrderModel::RunOutcome outcome = model->runOutcome(importType);
    return IB::rowStateText(importType, isImportedFor(model), model->foundCount(importType), outcome.failed,
                            outcome.reportPending);
}

void importOrdersPhotoDlg::fitStateColumn()
{
    // As wide as its longest state ("已导入(12个失败)"), never below its own width.
    ordersTableWgt->resizeColumnToContents(ColState);
    if (ordersTableWgt->columnWidth(ColState) < 80)
        ordersTableWgt->setColumnWidth(ColState, 80);
    // The operations as wide as the longest choice needs, up to twice their
    // own width; a longer N8 folder is cut in the middle.
    int operations = 200;
    for (int row = 0; row < ordersTableWgt->rowCount(); ++row) {
        QWidget* cell = ordersTableWgt->cellWidget(row, ColOperations);
        const ElidedLabel* label = selectionLabel(row);
        const auto* select = cell ? cell->findChild<QPushButton*>() : nullptr;
        if (label && select)
            operations = qMax(operations, select->sizeHint().width() +
                                              label->fontMetrics().horizontalAdvance(label->text()) + 40);
    }
    ordersTableWgt->setColumnWidth(ColOperations, qMin(operations, 400));
}

void importOrdersPhotoDlg::getExistImagesCount(ImportOrderModel* model)
{
    if (model && (importType == ImportOriginal || importType == ImportFinished || importType == ImportDesign))
        recordFoundCount(model, IB::existingImageCount(model->getOrderPath(), importType));
}

void importOrdersPhotoDlg::getExistVideoCount(ImportOrderModel* model)
{
    if (model && IB::isVideoType(importType))
        recordFoundCount(model, IB::existingVideoCount(model->getOrderPath(), importType));
}

void importOrdersPhotoDlg::recordFoundCount(ImportOrderModel* model, int count)
{
    // A folder that could not be listed leaves the last count as it was.
    if (count >= 0)
        model->setFoundCount(importType, static_cast<unsigned short>(qMin(count, 0xFFFF)));
}

int importOrdersPhotoDlg::getFolderPhotoCount(QString folder)
{
    return IB::folderPhotoCount(folder);
}

int importOrdersPhotoDlg::getFolderVideoCount(QString folder)
{
    return IB::folderVideoCount(folder);
}

void importOrdersPhotoDlg::importTypeSlot(int id)
{
    if (id < ImportOriginal || id > ImportN8)
        return;
    upDataVideoUrlsBtn->hide();
    importType = ImportTypeEnum(id);
    prefieImageEdit->setEnabled(importType == ImportOriginal && !m_batchRunning);
    const IB::TypeTexts texts = IB::typeTexts(importType);
    rightTitleLbl->setText(texts.title);
    if (!texts.videoButton.isEmpty()) {
        upDataVideoUrlsBtn->setText(texts.videoButton);
        upDataVideoUrlsBtn->show();
    }
    // A check sent for finished photos no longer leads to a choice.
    m_pendingCheck = nullptr;
    refreshOrderTable();
    // The right-hand side shows the current order's choice of this type.
    if (modelAt(curRow) && modelAt(curRow) == curOrderMdl) {
        ordersTableWgtClickedSlot(curRow);
    } else {
        orderSelectTableWgt->clearContents();
        orderSelectTableWgt->setRowCount(0);
    }
}

void importOrdersPhotoDlg::setBtnsState(bool enabled)
{
    // A select button about to be disabled hands its focus to the table:
    // passed on as a Tab would pass it, it would move the current cell and
    // scroll the table away from where staff left it.
    QWidget* focused = focusWidget();
    if (!enabled && focused && ordersTableWgt->viewport()->isAncestorOf(focused))
        ordersTableWgt->setFocus();
    for (QAbstractButton* button : importTypeGroup->buttons())
        button->setEnabled(enabled);
    addNewOrderBtn->setEnabled(enabled);
    selectAllBtn->setEnabled(enabled);
    cancelAllBtn->setEnabled(enabled);
    delAllOrdersBtn->setEnabled(enabled);
    reImportBtn->setEnabled(enabled);
    // Neither the choices nor the names of an order change under a batch.
    for (int row = 0; row < ordersTableWgt->rowCount(); ++row) {
        if (QWidget* cell = ordersTableWgt->cellWidget(row, ColOperations)) {
            if (auto* select = cell->findChild<QPushButton*>())
                select->setEnabled(enabled);
        }
    }
    prefieImageEdit->setEnabled(enabled && importType == ImportOriginal);
    if (enabled)
        applyOrderControlStates();
    else
        prefieFolderEdit->setEnabled(false);
}

void importOrdersPhotoDlg::applyOrderControlStates()
{
    if (m_batchRunning)
        return;
    if (!curOrderMdl) {
        prefieFolderEdit->setEnabled(true);
        return;
    }
    const bool hasFolder = !curOrderMdl->getOrderPath().isEmpty();
    prefieFolderEdit->setEnabled(!hasFolder);
    reImportBtn->setEnabled(hasFolder || !curOrderMdl->getOrderBackupPath().isEmpty());
}

void importOrdersPhotoDlg::ordersTableWgtClickedSlot(int row)
{
    ImportOrderModel* model = modelAt(row);
    if (!model)
        return;
    curOrderMdl = model;
    curRow = row;

    orderNumLbl->setText(model->getOrderNum());
    orderTypeLbl->setText(model->getOrderType());
    servNumLbl->setText(model->getOrderServNum());
    momNameLbl->setText(model->getMomName());
    dadNameLbl->setText(model->getDadName());
    babyNameLbl->setText(model->getBabyName());
    taoxiNameLbl->setText(model->getTaoxiName());
    bookedShopLbl->setText(model->getBookedShop());
    bespeakDateLbl->setText(model->getBespeakdate());
    photoerLbl->setText(model->getPhotoer());
    dresserLbl->setText(model->getDresser());
    yindouerLbl->setText(model->getYindouer());
    const bool baby = model->getPhotoType() == QStringLiteral("宝宝照");
    babyNameTitleLbl->setVisible(baby);
    babyNameLbl->setVisible(baby);
    orderPathLbl->setText(model->getOrderPath());
    orderBackupPathLbl->setText(model->getOrderBackupPath());
    orderN8PathLbl->setText(model->getFinalN8Path());

    QStringList chosen;
    if (importType == ImportOriginal || importType == ImportFinished || importType == ImportDesign) {
        prefieFolderEdit->setText(model->folderSuffix(importType));
        prefieImageEdit->setText(model->imageSuffix(importType));
        chosen = model->chosenFiles(importType);
    }

    const QStringList names = model->getImgNameLst(chosen, importType);
    orderSelectTableWgt->clearContents();
    orderSelectTableWgt->setRowCount(names.size());
    for (int i = 0; i < names.size(); ++i) {
        auto* name = new QTableWidgetItem(names.at(i));
        name->setToolTip(names.at(i));
        orderSelectTableWgt->setItem(i, 0, name);
    }

    showExistImages(model->getOrderPath());

    if (m_batchRunning)
        return;
    if (model->getOrderPath().isEmpty()) {
        prefieFolderEdit->setEnabled(true);
        reImportBtn->setEnabled(!model->getOrderBackupPath().isEmpty());
    } else {
        prefieFolderEdit->setEnabled(false);
        reImportBtn->setEnabled(true);
    }
}

void importOrdersPhotoDlg::iniData()
{
    for (ElidedLabel* label : {orderNumLbl, orderTypeLbl, servNumLbl, momNameLbl, dadNameLbl, babyNameLbl,
                               taoxiNameLbl, bookedShopLbl, bespeakDateLbl, photoerLbl, dresserLbl,
                               yindouerLbl, orderPathLbl, orderBackupPathLbl, orderN8PathLbl})
        label->setText(QString());
    reImportBtn->setEnabled(false);
    prefieFolderEdit->setEnabled(true);
    prefieFolderEdit->clear();
    prefieImageEdit->setEnabled(false);
    updateThumb({});
    orderSelectTableWgt->clearContents();
    orderSelectTableWgt->setRowCount(0);
}

void importOrdersPhotoDlg::prefieFolderChangedSlot(const QString& text)
{
    const QString cleaned = Config::sanitizeWithRegex(text.trimmed());
    if (cleaned != prefieFolderEdit->text()) {
        prefieFolderEdit->setText(cleaned); // comes back here with the cleaned text
        return;
    }
    if (curOrderMdl)
        curOrderMdl->setFolderSuffix(importType, cleaned);
}

void importOrdersPhotoDlg::prefieImageChangedSlot(const QString& text)
{
    const QString cleaned = Config::sanitizeWithRegex(text.trimmed());
    if (cleaned != prefieImageEdit->text()) {
        prefieImageEdit->setText(cleaned);
        return;
    }
    if (curOrderMdl)
        curOrderMdl->setImageSuffix(importType, cleaned);
}

void importOrdersPhotoDlg::prefieOrderChangedSlot(const QString& text)
{
    if (!curOrderMdl)
        return;
    curOrderMdl->setOrderPrefix(importType, text.trimmed());
}

void importOrdersPhotoDlg::showTableMouseRightButton(QPoint pos)
{
    Q_UNUSED(pos)
    const ImportOrderModel* model = modelAt(ordersTableWgt->currentRow());
    if (!model)
        return;
    tableMenu->setEnabled(!model->getOrderPath().isEmpty());
    tableMenu->popup(QCursor::pos());
}

void importOrdersPhotoDlg::tbOpenOrderPathAction()
{
    const ImportOrderModel* model = modelAt(ordersTableWgt->currentRow());
    if (!model)
        return;
    FileOperation::openOrderFolder(model->getOrderPath() + QStringLiteral("成品"), this);
}

void importOrdersPhotoDlg::openOrderPhotoPathBtnSlot()
{
    FileOperation::openOrderFolder(orderPathLbl->text(), this);
}

void importOrdersPhotoDlg::openOrderOriginPathBtnSlot()
{
    FileOperation::openOrderFolder(orderPathLbl->text() + QStringLiteral("照片/新建文件夹"), this);
}

void importOrdersPhotoDlg::reImportBtnSlot()
{
    ImportOrderModel* model = curOrderMdl;
    if (!model || m_batchRunning)
        return;
    // The records the order owes are of the folder it leaves: nothing sends
    // them any more, for that folder or the new one.
    const QList<IB::ReportFailure> owed = takeOwedRecords({model}, IB::Afterwards::ReImported);
    orderSelectTableWgt->clearContents();
    orderSelectTableWgt->setRowCount(0);
    updateThumb({});
    clearImportMdlInfo(model);
    orderPathLbl->setText(QString());
    orderBackupPathLbl->setText(QString());
    prefieFolderEdit->setEnabled(true);
    reImportBtn->setEnabled(false);
    updateFinishInfo(model, QStringLiteral("0"), 0, 0);

    if (curRow >= 0 && curRow < ordersTableWgt->rowCount()) {
        if (QTableWidgetItem* state = ordersTableWgt->item(curRow, ColState))
            state->setText(QStringLiteral("未导入"));
        if (QWidget* cell = ordersTableWgt->cellWidget(curRow, ColProgress)) {
            if (auto* bar = cell->findChild<QProgressBar*>())
                bar->setValue(0);
        }
        if (QLabel* label = progressLabel(curRow))
            label->setText(QStringLiteral("0/0"));
        if (ElidedLabel* label = selectionLabel(curRow))
            label->setText(QStringLiteral("未选"));
    }
    if (!owed.isEmpty())
        showBatchBox(IB::notTakenBox(owed, IB::Afterwards::ReImported, listedOrderNames()));
}

void importOrdersPhotoDlg::selectAllSlot()
{
    for (int row = 0; row < ordersTableWgt->rowCount(); ++row) {
        if (QTableWidgetItem* item = ordersTableWgt->item(row, ColOrder))
            item->setCheckState(Qt::Checked);
    }
}

void importOrdersPhotoDlg::cancelAllSlot()
{
    for (int row = 0; row < ordersTableWgt->rowCount(); ++row) {
        if (QTableWidgetItem* item = ordersTableWgt->item(row, ColOrder))
            item->setCheckState(Qt::Unchecked);
    }
}

void importOrdersPhotoDlg::delAllOrdersSlot()
{
    if (m_batchRunning)
        return;
    QList<int> rows;
    for (int row = 0; row < ordersTableWgt->rowCount(); ++row) {
        const QTableWidgetItem* item = ordersTableWgt->item(row, ColOrder);
        if (item && item->checkState() == Qt::Checked)
            rows.append(row);
    }
    if (rows.isEmpty()) {
        Prompts::warning(this, kWarning, QStringLiteral("您还没有选择订单"), Prompts::Ok);
        return;
    }
    // The checked rows themselves leave the table and the list, so row i
    // keeps showing element i even when two orders share a name.
    QList<ImportOrderModel*> removed;
    for (int i = rows.size() - 1; i >= 0; --i) {
        const int row = rows.at(i);
        if (row < orderMdlLst.size())
            removed.prepend(orderMdlLst.takeAt(row));
        ordersTableWgt->removeRow(row);
    }
    for (int row = 0; row < ordersTableWgt->rowCount(); ++row) {
        if (QWidget* cell = ordersTableWgt->cellWidget(row, ColOperations)) {
            if (auto* select = cell->findChild<QPushButton*>())
                select->setProperty("row", row);
        }
    }
    const int current = ordersTableWgt->currentRow();
    if (modelAt(current)) {
        ordersTableWgtClickedSlot(current);
    } else {
        curOrderMdl = nullptr;
        curRow = -1;
    }
    if (orderMdlLst.isEmpty())
        iniData();
    letGoOfUnlisted(removed);
}

void importOrdersPhotoDlg::letGoOfUnlisted(const QList<ImportOrderModel*>& models)
{
    QList<ImportOrderModel*> gone;
    for (ImportOrderModel* model : models) {
        if (!orderMdlLst.contains(model))
            gone.append(model);
    }
    // Nothing sends the records an order no longer listed still owes.
    const QList<IB::ReportFailure> owed = takeOwedRecords(gone, IB::Afterwards::LeftList);
    if (!owed.isEmpty())
        showBatchBox(IB::notTakenBox(owed, IB::Afterwards::LeftList, listedOrderNames()));
    // Added again, the order comes back as it is now.
    for (ImportOrderModel* model : qAsConst(gone)) {
        if (model->parent() == this)
            m_letGo.insert(model->getOrderName(), model);
    }
    dropUnlistedLetGo();
}

void importOrdersPhotoDlg::dropUnlistedLetGo()
{
    m_searchWindows.erase(std::remove_if(m_searchWindows.begin(), m_searchWindows.end(),
                                         [](const QPointer<SearchOrderWindow>& open) { return !open; }),
                          m_searchWindows.end());
    for (auto it = m_letGo.begin(); it != m_letGo.end();) {
        const bool listed = std::any_of(
            m_searchWindows.cbegin(), m_searchWindows.cend(),
            [&it](const QPointer<SearchOrderWindow>& search) { return search->listsOrder(it.key()); });
        if (listed) {
            ++it;
        } else {
            it.value()->deleteLater();
            it = m_letGo.erase(it);
        }
    }
}

void importOrdersPhotoDlg::closeSearchWindows()
{
    for (const QPointer<SearchOrderWindow>& search : std::exchange(m_searchWindows, {})) {
        if (search)
            Prompts::whenNoBoxOpen(search, [search] { search->close(); });
    }
}

// ---------------------------------------------------------------- order intake

void importOrdersPhotoDlg::addNewOrderBtnSlot()
{
    auto* search = new SearchOrderWindow(nullptr);
    search->setAttribute(Qt::WA_DeleteOnClose);
    m_searchWindows.append(search);
    connect(search, &SearchOrderWindow::ordersListed, this, &importOrdersPhotoDlg::dropUnlistedLetGo);
    // Queued: a widget's destroyed() comes before the pointers to it are
    // cleared, and it is asked nothing more.
    connect(search, &QObject::destroyed, this, &importOrdersPhotoDlg::dropUnlistedLetGo,
            Qt::QueuedConnection);
    search->show();
    connect(search, SIGNAL(addSelectOrderSigl(QList<ImportOrderModel*>)), this,
            SLOT(getNewOrderSlot(QList<ImportOrderModel*>)));
}

void importOrdersPhotoDlg::getNewOrderSlot(QList<ImportOrderModel*> list)
{
    // Neither the order list nor its rows change under a batch; the search
    // window keeps the orders, so they can be added afterwards.
    if (m_batchRunning) {
        Prompts::information(this, QStringLiteral("提示"), QStringLiteral("正在导片，请稍后再添加订单"),
                             Prompts::Ok);
        return;
    }
    const QStringList names = listedOrderNames();
    QStringList duplicates;
    QStringList missing;
    QStringList unreadable;
    for (ImportOrderModel* model : qAsConst(list)) {
        if (!model)
            continue;
        const QString name = model->getOrderName();
        if (names.contains(name)) {
            duplicates.append(name);
            continue;
        }
        // An order taken off the list comes back as it was left, unless the
        // service has moved on from it.
        ImportOrderModel* replaced = m_letGo.value(name);
        if (replaced && !serviceMovedOn(*replaced, *model)) {
            model = replaced;
            replaced = nullptr;
        }
        if (orderMdlLst.contains(model))
            continue; // the same order object twice in one hand-over is listed once
        const QString root = FileOperation::rootPath(model->getOrderPath());
        qDebug() << "orderPath:" << model->getOrderPath();
        qDebug() << "orderRootPath:" << root;
        if (root.endsWith(QLatin1Char('/'))) {
            const FileOperation::Presence presence = FileOperation::lookUp(root);
            if (presence == FileOperation::Presence::Unreadable) {
                unreadable.append(unreadableOrderText(name, root));
                continue;
            }
            if (presence != FileOperation::Presence::Folder) {
                missing.append(name + QLatin1Char(':') + root);
                continue;
            }
        }
        getExistImagesCount(model);
        model->setParent(this);
        orderMdlLst.append(model);
        m_letGo.remove(name);
        if (replaced)
            replaced->deleteLater();
    }
    if (!duplicates.isEmpty()) {
        Prompts::information(this, QStringLiteral("订单已存在"),
                             QStringLiteral("已经添加过订单：\n") + duplicates.join(QLatin1Char(',')),
                             Prompts::Ok);
    }
    if (!missing.isEmpty()) {
        Prompts::information(this, QStringLiteral("订单导片路径不存在"),
                             QStringLiteral("以下订单导片根目录不存在：\n") + missing.join(QLatin1Char(',')),
                             Prompts::Ok);
    }
    if (!unreadable.isEmpty())
        Prompts::information(this, kWarning, unreadable.join(QLatin1Char('\n')), Prompts::Ok);
    refreshOrderTable();
}

// ---------------------------------------------------------------- choosing files

void importOrdersPhotoDlg::selectImgBtnSlot()
{
    const QObject* button = sender();
    if (!button || m_batchRunning)
        return;
    const int row = button->property("row").toInt();
    ImportOrderModel* model = modelAt(row);
    if (!model)
        return;
    selRow = row;
    selOrderMdl = model;
    if (importType == ImportFinished) {
        isCanSelImg(row, model);
    } else {
        m_pendingCheck = nullptr;
        selImg(row, model);
    }
}

void importOrdersPhotoDlg::isCanSelImg(int row, ImportOrderModel* model)
{
    Q_UNUSED(row)
    if (!model)
        return;
    // Only the reply to this press may lead to a choice.
    m_pendingCheck = WebService::post(netManager, Config::url_query_order_isimportphoto,
                                      IB::selectionCheckBody(model->getOrderID()));
}

void importOrdersPhotoDlg::isCanSelImgSlot(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_pendingCheck) {
        qDebug() << "finished-selection reply of an earlier press dropped";
        return;
    }
    m_pendingCheck = nullptr;

    const WebService::Reply r = WebService::read(reply);
    if (r.kind == WebService::Reply::Kind::TransportError) {
        WebService::showTransportError(nullptr, r, Prompts::Yes);
        return;
    }
    qDebug().noquote() << "query order Json:" << QString::fromUtf8(r.body);
    if (r.kind == WebService::Reply::Kind::NotJsonObject) {
        Prompts::information(nullptr, kWarning, QStringLiteral("请求失败"), Prompts::Yes);
        return;
    }
    if (r.kind == WebService::Reply::Kind::Refusal) {
        Prompts::information(nullptr, kWarning, QStringLiteral("请求失败：") + r.code, Prompts::Yes);
        return;
    }
    ImportOrderModel* model = selOrderMdl;
    if (!model || modelAt(selRow) != model || m_batchRunning)
        return;
    if (r.object.value(QStringLiteral("isrole12finish")).toDouble() != 0) {
        const Prompts::StandardButton answer = Prompts::information(
            this, kNotice,
            QStringLiteral("该订单已选片完成，继续导片会覆盖之前的选片结果，确定要继续导片吗？"),
            Prompts::Yes | Prompts::No);
        if (answer != Prompts::Yes || modelAt(selRow) != model)
            return;
    }
    selImg(selRow, model);
}

void importOrdersPhotoDlg::selImg(int row, ImportOrderModel* model)
{
    if (!model || modelAt(row) != model)
        return;
    int chosenCount = 0;
    QString chosenText;
    if (importType == ImportN8) {
        const QString folder =
            Prompts::instance().getExistingDirectory(this, QStringLiteral("请选择文件路径..."), lastSelDir);
        // A root folder has no name to give the copy: chosen again.
        if (folder.isEmpty() || N8Import::folderName(folder).isEmpty()) {
            Prompts::information(this, QStringLiteral("提示"), QStringLiteral("请重新选择路径"), Prompts::Ok);
            return;
        }
        const QString parent = IB::n8ParentPath(folder);
        qDebug() << "fatherPath=" << parent;
        model->setN8Path(folder);
        model->setN8FatherPath(parent);
        model->setisN8Imported(false);
        lastSelDir = parent;
        chosenText = folder;
    } else {
        const bool video = IB::isVideoType(importType);
        const QStringList files = Prompts::instance().getOpenFileNames(
            this, video ? QStringLiteral("选择视频") : QStringLiteral("选择照片"), lastSelDir,
            video ? QStringLiteral("Video File(*.mp4 *.avi)")
                  : QStringLiteral("Image File(*.jpg *.jpeg *.png)"));
        if (files.isEmpty()) {
            Prompts::information(this, QStringLiteral("提示"), QStringLiteral("没有选择任何照片"),
                                 Prompts::Ok);
            return;
        }
        model->setChosenFiles(importType, files);
        model->setImported(importType, false);
        // A report still owed stays owed; the files left behind are chosen anew.
        ImportOrderModel::RunOutcome outcome = model->runOutcome(importType);
        outcome.failed = 0;
        model->setRunOutcome(importType, outcome);
        lastSelDir = IB::nextSelectDir(importType, files.first());
        chosenCount = files.size();
        chosenText = QString::number(chosenCount);
    }

    // Shown as a click on the row shows it; the table stays scrolled where
    // staff left it, by the select buttons.
    QScrollBar* across = ordersTableWgt->horizontalScrollBar();
    const int scrolled = across->value();
    ordersTableWgt->setCurrentCell(row, ColOrder);
    across->setValue(scrolled);
    ordersTableWgtClickedSlot(row);

    if (QWidget* cell = ordersTableWgt->cellWidget(row, ColProgress)) {
        if (auto* bar = cell->findChild<QProgressBar*>()) {
            bar->setRange(0, chosenCount);
            bar->setValue(0);
        }
    }
    if (QLabel* label = progressLabel(row))
        label->setText(QStringLiteral("0/%1").arg(chosenCount));
    if (ElidedLabel* label = selectionLabel(row))
        label->setText(QStringLiteral("已选(%1)").arg(chosenText));
    fitStateColumn();
}

// ---------------------------------------------------------------- the batch

void importOrdersPhotoDlg::importAllOrdersBtnSlot()
{
    if (m_batchRunning)
        return;
    if (orderMdlLst.isEmpty()) {
        Prompts::warning(this, kWarning, QStringLiteral("没有需要导入的订单"), Prompts::Ok);
        return;
    }
    toImportOrderCount = 0;
    for (const ImportOrderModel* model : qAsConst(orderMdlLst)) {
        if (IB::probeStoreRoot(model->getStore_picpath()) == IB::Probe::Refused) {
            Prompts::warning(this, kWarning, QStringLiteral("您没有服务器写入权限"), Prompts::Ok);
            return;
        }
        QString missingChoice;
        if (IB::isVideoType(importType)) {
            if (chosenFiles(model).isEmpty())
                missingChoice = QStringLiteral("有订单没有选择视频");
        } else if (importType == ImportN8) {
            if (model->getN8Path().isEmpty())
                missingChoice = QStringLiteral("有订单没有选择N8路径");
        } else if (chosenFiles(model).isEmpty()) {
            missingChoice = QStringLiteral("有订单没有选择照片");
        }
        if (!missingChoice.isEmpty()) {
            Prompts::warning(this, kWarning, missingChoice, Prompts::Ok);
            return;
        }
        if (needsImport(model) || !owedOtherTypes(model).isEmpty())
            ++toImportOrderCount;
    }
    if (toImportOrderCount == 0) {
        Prompts::warning(this, kWarning, QStringLiteral("没有需要导入的订单"), Prompts::Ok);
        return;
    }
    if (importType != ImportN8) {
        QString message;
        QStringList unreadable;
        for (const ImportOrderModel* model : qAsConst(orderMdlLst)) {
            if (model->getOrderPath().isEmpty())
                continue;
            const QString finished = withSlash(model->getOrderPath()) + QStringLiteral("成品/");
            switch (FileOperation::lookUp(finished)) {
            case FileOperation::Presence::Folder:
                break;
            case FileOperation::Presence::Unreadable:
                unreadable.append(unreadableOrderText(model->getOrderName(), finished));
                break;
            default:
                message += QStringLiteral("订单号:") + model->getOrderName() + QLatin1Char('\n');
                break;
            }
        }
        if (!message.isEmpty())
            unreadable.prepend(message + QStringLiteral("路径不存在"));
        if (!unreadable.isEmpty()) {
            Prompts::warning(this, kWarning, unreadable.join(QLatin1Char('\n')), Prompts::Ok);
            return;
        }
    }

    m_batchRunning = true;
    m_pendingCheck = nullptr;
    setBtnsState(false);
    finishedOrderCount = 0;
    m_n8Ended.clear();
    m_n8Written.clear();
    m_n8Row = -1;
    m_n8Stop = std::make_shared<std::atomic<bool>>(false);
    m_batchFailures.clear();
    m_reportFailures.clear();
    m_n8Unfinished.clear();
    m_beingDeleted.clear();
    m_unreadable.clear();
    m_diskFull = false;
    m_stopping = false;
    m_ordersDone = false;
    m_lockSuffix = false;
    Config::disk_space.reset();
    importAllOrdersBtn->setText(kBatchRunning);
    importAllOrdersBtn->setEnabled(false);
    // The records the orders still owe of another import type go with this
    // batch, as those of its own type do; an order owing nothing else of it
    // is done once they are sent.
    for (ImportOrderModel* model : qAsConst(orderMdlLst)) {
        const QList<ImportTypeEnum> owed = owedOtherTypes(model);
        if (!owed.isEmpty() && !needsImport(model))
            ++finishedOrderCount;
        for (const ImportTypeEnum type : owed)
            sendOwedReport(model, type);
    }
    if (importType == ImportN8)
        startNextN8Order();
    else
        startFollowingOrder(0);
}

bool importOrdersPhotoDlg::needsImport(const ImportOrderModel* model) const
{
    return !isImportedFor(model) || model->runOutcome(importType).reportPending;
}

QList<ImportTypeEnum> importOrdersPhotoDlg::owedOtherTypes(const ImportOrderModel* model) const
{
    QList<ImportTypeEnum> owed;
    for (int type = ImportOriginal; type <= ImportRetouchedVideo; ++type) {
        if (type != importType && model->runOutcome(ImportTypeEnum(type)).reportPending)
            owed.append(ImportTypeEnum(type));
    }
    return owed;
}

void importOrdersPhotoDlg::startFollowingOrder(int fromRow)
{
    for (int row = fromRow; row < orderMdlLst.size() && !m_stopping; ++row) {
        ImportOrderModel* model = orderMdlLst.at(row);
        if (!needsImport(model))
            continue;
        if (isImportedFor(model)) {
            // Its files are in place; only the report is owed.
            ++finishedOrderCount;
            sendOwedReport(model, importType);
            continue;
        }
        const IB::FolderCounts before =
            IB::importCounts(model->getOrderPath(), model->getOrderBackupPath(), importType);
        if (!before.read()) {
            // A folder that cannot be read now is none to import into:
            // nothing is written for the order, and the last box names it.
            m_unreadable.append({model->getOrderNum(), model->getOrderName()});
            continue;
        }
        servPicCountBefore = before.server;
        backPicCountBefore = importType == ImportOriginal || importType == ImportFinished ? before.backup : 0;
        startOrderImport(row);
        return;
    }
    stopStartingOrders();
}

void importOrdersPhotoDlg::sendOwedReport(ImportOrderModel* model, ImportTypeEnum type)
{
    ImportOrderModel::RunOutcome owed = model->runOutcome(type);
    if (owed.countsUnread) {
        // Sent once the order's folders can be read again, as a run's own
        // report is.
        const IB::FolderCounts now =
            IB::importCounts(model->getOrderPath(), model->getOrderBackupPath(), type);
        if (!now.read()) {
            m_reportFailures.append({model->getOrderNum(), FileOperation::unreadableText(),
                                     IB::Afterwards::BatchAgain, IB::typeTexts(type).name,
                                     model->getOrderName()});
            return;
        }
        owed.countsUnread = false;
        model->setRunOutcome(type, owed);
        // The table counts the type it shows; another is counted when shown.
        if (type == importType) {
            getExistImagesCount(model);
            getExistVideoCount(model);
        }
    }
    postFinishInfo(model, type, QStringLiteral("1"), owed.serverCount, owed.backupCount, owed.videos);
}

void importOrdersPhotoDlg::startOrderImport(int row)
{
    ImportOrderModel* model = modelAt(row);
    if (!model) {
        stopStartingOrders();
        return;
    }
    Config::importServPath = model->getStore_picpath();
    Config::importServBackupPath = model->getStore_bakpicpath();
    Config::importServHousePath = model->getStore_homepicpath();
    Config::importServN8Path = N8Import::localPath(model->getShop_n8path());
    if (importType == ImportN8) {
        const QString refusal = n8Refusal(model);
        if (!refusal.isEmpty()) {
            failN8Order(row, refusal);
            return;
        }
    }

    // The worker copies what it needs from the order and Config now.
    auto* worker = new ImportOrderThread(model, importType, nullptr);
    worker->setObjectName(model->getOrderName());
    worker->setProperty("row", row);
    qRegisterMetaType<QList<N8FileInfo>>("QList<N8FileInfo>");
    // Connected before the folder check below, which may already report.
    // The worker's end has this one receiver: the dialog hears of it, and
    // only then is the worker deleted, whatever order the threads run in.
    // It stays connected when the dialog lets go of the worker's other
    // signals; once the dialog has gone, the worker is deleted all the same.
    const QPointer<importOrdersPhotoDlg> dialog(this);
    connect(worker, &QThread::finished, worker, [dialog, worker] {
        if (dialog)
            dialog->workerEnded(worker);
        worker->deleteLater();
    });
    connect(worker, &ImportOrderThread::hasImportedImgCount, this, &importOrdersPhotoDlg::importProgressSlot);
    connect(worker, &ImportOrderThread::importFailuresSigl, this, &importOrdersPhotoDlg::importFailuresSlot);
    connect(worker, &ImportOrderThread::importCommittedSigl, this,
            [this, worker](int server, int backup, const QStringList& videos) {
                if (worker != m_worker)
                    return;
                m_runCommitted = {server, backup};
                m_runVideos = videos;
            });
    connect(worker, &ImportOrderThread::hasFinishedImportSigl, this,
            &importOrdersPhotoDlg::finishedImportOrderSlot);
    connect(worker, &ImportOrderThread::importImageThreadError, this,
            &importOrdersPhotoDlg::handleImportImageError);
    connect(worker, &ImportOrderThread::checkDiskSizeSigl, this, &importOrdersPhotoDlg::lookDiskSizeSlot);
    connect(worker, &ImportOrderThread::checkOrderPicPathSigl, this, &importOrdersPhotoDlg::lookPicPathSlot);
    connect(worker, &ImportOrderThread::startImportDirN8ThreadSigl, this,
            &importOrdersPhotoDlg::startImportCopyN8ProgressSlot);
    m_worker = worker;
    m_workerFinishedOrder = false;
    m_runTold = false;
    m_runFailed = 0;
    m_runFolder.clear();
    m_runTakenVideos.clear();
    m_runDone = 0;
    m_runNotStarted = 0;
    m_runCommitted = {};
    m_runVideos.clear();

    if (importType == ImportN8) {
        worker->setN8DestinationsOfBatch(m_n8Written);
        worker->createN8Dir(Config::importServN8Path);
        const FileOperation::Presence n8Root = FileOperation::lookUp(Config::importServN8Path);
        if (n8Root != FileOperation::Presence::Folder) {
            m_worker = nullptr;
            delete worker;
            // One that cannot be looked at may well be there: not named as
            // one that could not be made.
            failN8Order(row, n8Root == FileOperation::Presence::Unreadable
                                 ? QStringLiteral("订单%1的N8文件夹读取失败：%2")
                                       .arg(model->getOrderName(),
                                            FileOperation::unreadableFolderName(Config::importServN8Path))
                                 : QStringLiteral("订单%1的N8目录无法创建：%2")
                                       .arg(model->getOrderName(), Config::importServN8Path));
            return;
        }
        // Only the worker's own failure from here on: the one above is told.
        connect(worker, &ImportOrderThread::importDirN8ThreadError, this,
                [this, worker] { n8WorkerFailed(worker); });
    } else {
        worker->createOrderDir(Config::importServPath, Config::importServBackupPath);
        if (worker->deletionUnderway()) {
            // Nothing was made or written; the batch goes on, and its last
            // box names the order.
            m_worker = nullptr;
            delete worker;
            m_beingDeleted.append({model->getOrderNum(), model->getOrderName()});
            startFollowingOrder(row + 1);
            return;
        }
        if (!m_batchRunning || m_stopping) {
            // The folder check failed and its box has stopped the batch.
            m_worker = nullptr;
            delete worker;
            stopStartingOrders();
            return;
        }
        if (model == curOrderMdl)
            showCurrentOrderFolders();
        updateFinishInfo(model, QStringLiteral("0"), 0, 0);
    }
    worker->start(QThread::InheritPriority);
}

void importOrdersPhotoDlg::importProgressSlot(ushort done, ushort total)
{
    const QObject* worker = sender();
    if (!worker || worker != m_worker)
        return;
    m_runDone = done;
    QWidget* cell = ordersTableWgt->cellWidget(worker->property("row").toInt(), ColProgress);
    if (!cell || !cell->layout())
        return;
    QLayout* layout = cell->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QWidget* widget = layout->itemAt(i)->widget();
        if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
            // The bar counts this run's files, whatever the last refresh left.
            if (bar->minimum() != 0 || bar->maximum() != total)
                bar->setRange(0, total);
            bar->setValue(done);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(QStringLiteral("%1/%2").arg(done).arg(total));
        }
    }
}

void importOrdersPhotoDlg::importFailuresSlot(QString orderName, ushort failed, QString unwritableFolder,
                                              QStringList takenVideos, ushort notStarted)
{
    const QObject* worker = sender();
    if (!worker || worker != m_worker)
        return;
    qDebug().noquote() << orderName << "导入失败" << failed << unwritableFolder << takenVideos;
    m_runTold = true;
    m_runFailed = failed;
    m_runFolder = unwritableFolder;
    m_runTakenVideos = takenVideos;
    m_runNotStarted = notStarted;
}

void importOrdersPhotoDlg::finishedImportOrderSlot(ushort total)
{
    const QObject* worker = sender();
    if (!worker || worker != m_worker || !m_batchRunning)
        return;
    m_workerFinishedOrder = true;
    const int row = worker->property("row").toInt();
    qDebug().noquote() << QStringLiteral("%1 import finished").arg(worker->objectName());
    completeOrder(row, total);
    startFollowingOrder(row + 1);
}

void importOrdersPhotoDlg::completeOrder(int row, int imported)
{
    ++finishedOrderCount;
    ImportOrderModel* model = modelAt(row);
    if (!model)
        return;
    const IB::FolderCounts after =
        IB::importCounts(model->getOrderPath(), model->getOrderBackupPath(), importType);
    const bool withBackup = importType == ImportOriginal || importType == ImportFinished;
    ImportOrderModel::RunOutcome outcome = model->runOutcome(importType);
    // The report carries what this run committed, never the folders'
    // growth: what another import wrote into the order meanwhile is its
    // own to report. A report an earlier run still owes rides along.
    const int owedServer = outcome.reportPending ? outcome.serverCount : 0;
    const int owedBackup = outcome.reportPending ? outcome.backupCount : 0;
    outcome.serverCount = owedServer + m_runCommitted.server;
    outcome.backupCount = withBackup ? owedBackup + m_runCommitted.backup : 0;
    outcome.failed = m_runTold ? m_runFailed : 0;
    // The videos listed are the ones in the order's folder as chosen, never
    // a clip left on the card: those of a report still owed, then this run's.
    QStringList videos = outcome.reportPending ? outcome.videos : QStringList();
    for (const QString& video : qAsConst(m_runVideos)) {
        if (!videos.contains(video))
            videos.append(video);
    }
    outcome.videos = videos;
    if (after.read()) {
        outcome.reportPending = false;
        outcome.countsUnread = false;
        model->setRunOutcome(importType, outcome);
        updateFinishInfo(model, QStringLiteral("1"), outcome.serverCount, outcome.backupCount,
                         outcome.videos);
    } else {
        // Folders that cannot be read now are named in the last box; the
        // report is owed, with its numbers, until a later batch can read
        // them.
        outcome.reportPending = true;
        outcome.countsUnread = true;
        outcome.reportStatus = FileOperation::unreadableText();
        model->setRunOutcome(importType, outcome);
        m_reportFailures.append({model->getOrderNum(), outcome.reportStatus, IB::Afterwards::BatchAgain,
                                 IB::typeTexts(importType).name, model->getOrderName()});
    }

    getExistImagesCount(model);
    if (IB::isVideoType(importType))
        getExistVideoCount(model);
    model->setDoneCount(importType, static_cast<unsigned short>(imported));
    model->setImported(importType, true);
    // The files a stop by closing the dialog left on the card are the
    // user's choice, not failures: the last box names those that failed.
    const int failed = outcome.failed - (m_closeRequested ? m_runNotStarted : 0);
    if (failed > 0)
        m_batchFailures.append(
            {model->getOrderNum(), failed, m_runFolder, m_runTakenVideos, model->getOrderName()});
    setRowState(row, rowState(model));
    if (model == curOrderMdl)
        showCurrentOrderFolders();
}

void importOrdersPhotoDlg::stopStartingOrders()
{
    m_stopping = true;
    m_ordersDone = true;
    finishBatchIfDone();
}

void importOrdersPhotoDlg::finishBatchIfDone()
{
    if (!m_batchRunning || !m_ordersDone || m_worker)
        return;
    if (m_closeRequested && isVisible()) {
        // A box open now, the dialog's or a search window's, has code waiting
        // under it: the dialog and its search windows go once it is answered.
        if (Prompts::boxOpen()) {
            Prompts::whenNoBoxOpen(this, [this] { finishBatchIfDone(); });
            return;
        }
        // The stopped order is reported: the dialog goes, and stays until its
        // records have answered and its last box is shown.
        m_closeConfirmed = true;
        if (testAttribute(Qt::WA_DeleteOnClose)) {
            setAttribute(Qt::WA_DeleteOnClose, false);
            m_releaseWhenIdle = true;
        }
        close();
    }
    for (const ReportPost& post : qAsConst(m_reports)) {
        if (post.inBatch)
            return; // the last box waits for every answer
    }
    // An order the user stopped is not finished.
    const bool allFinished = finishedOrderCount == toImportOrderCount && !m_closeRequested;
    if (allFinished)
        qDebug() << "All orders import finished";
    endBatch();
    if (allFinished || m_lockSuffix)
        prefieFolderEdit->setEnabled(false);
    if (m_closeQuestionOpen) {
        // The answer decides what becomes of the records not taken: a yes
        // closes the window, and nothing sends them again.
        m_batchBoxHeld = true;
    } else {
        showBatchBox(lastBatchBox(!isVisible()));
    }
    releaseWhenIdle();
}

ImportBookkeeping::Box importOrdersPhotoDlg::lastBatchBox(bool windowClosed)
{
    if (windowClosed) {
        // The records a closed dialog owes go with it, this batch's and any
        // earlier one's: nothing sends them again.
        QList<IB::ReportFailure> named;
        for (IB::ReportFailure failure : qAsConst(m_reportFailures)) {
            if (failure.afterwards == IB::Afterwards::BatchAgain)
                continue;
            if (failure.afterwards == IB::Afterwards::Nothing)
                failure.afterwards = IB::Afterwards::WindowClosed;
            named.append(failure);
        }
        m_reportFailures = named + takeOwedRecords(orderMdlLst, IB::Afterwards::WindowClosed);
    }
    // Replies come back in any order; the box names the orders as the table
    // lists them, and the records of one order in the order of the types.
    const auto placeOf = [this](const IB::ReportFailure& failure) {
        int row = 0;
        while (row < orderMdlLst.size() && orderMdlLst.at(row)->getOrderName() != failure.orderName)
            ++row;
        int type = ImportOriginal;
        while (type <= ImportN8 && IB::typeTexts(ImportTypeEnum(type)).name != failure.kind)
            ++type;
        return std::make_pair(row, type);
    };
    std::stable_sort(
        m_reportFailures.begin(), m_reportFailures.end(),
        [&](const IB::ReportFailure& a, const IB::ReportFailure& b) { return placeOf(a) < placeOf(b); });
    const bool allFinished = finishedOrderCount == toImportOrderCount && !m_closeRequested;
    const IB::Box box = IB::batchEndBox(finishedOrderCount, allFinished, m_diskFull, m_batchFailures,
                                        m_reportFailures, m_beingDeleted, m_unreadable, m_n8Unfinished,
                                        listedOrderNames(), IB::typeTexts(importType).name);
    // While the client quits, the records not taken are named in its last
    // box: a batch with nothing else to name says nothing then.
    if (PendingRecords::instance().quitting() && box.title != kWarning)
        return {};
    return box;
}

void importOrdersPhotoDlg::showBatchBox(const IB::Box& box)
{
    if (box.title.isEmpty())
        return;
    // Never on top of the close question: it is shown once that is answered.
    if (m_closeQuestionOpen) {
        m_heldBoxes.append(box);
        return;
    }
    if (box.title == kWarning)
        Prompts::warning(this, box.title, box.text, Prompts::Ok);
    else
        Prompts::information(this, box.title, box.text, Prompts::Ok);
}

void importOrdersPhotoDlg::workerEnded(ImportOrderThread* worker)
{
    if (worker != m_worker)
        return;
    m_worker = nullptr;
    if (m_releaseDeferred) {
        // Let go of when destroyed or closed: it goes with its worker, and
        // never under an open box.
        Prompts::whenNoBoxOpen(this, [this] { deleteLater(); });
        return;
    }
    if (m_batchRunning && !m_workerFinishedOrder) {
        // A run that was stopped after some files still reports its order
        // with what is on disk; a worker that could copy nothing has told
        // why. An N8 walk stopped by the close hands nothing over: the
        // order is not imported.
        if (importType != ImportN8 && m_runTold)
            completeOrder(worker->property("row").toInt(), m_runDone);
        stopStartingOrders();
    } else {
        finishBatchIfDone();
    }
    releaseWhenIdle();
}

void importOrdersPhotoDlg::endBatch()
{
    m_batchRunning = false;
    importAllOrdersBtn->setText(kBatchIdle);
    importAllOrdersBtn->setEnabled(true);
    setBtnsState(true);
}

void importOrdersPhotoDlg::showCurrentOrderFolders()
{
    if (!curOrderMdl)
        return;
    orderPathLbl->setText(curOrderMdl->getOrderPath());
    orderBackupPathLbl->setText(curOrderMdl->getOrderBackupPath());
    showExistImages(curOrderMdl->getOrderPath());
}

void importOrdersPhotoDlg::handleImportImageError(uchar code)
{
    if (code == 1)
        Prompts::information(nullptr, kWarning, QStringLiteral("服务器路径错误"), Prompts::Yes);
    else if (code == 2)
        Prompts::information(nullptr, kWarning, QStringLiteral("备份服务器路径错误。"), Prompts::Yes);
    else
        return;
    // The batch stops here; every control it disabled comes back once the
    // orders already done are reported.
    m_stopping = true;
    m_ordersDone = true;
    if (!m_worker || m_worker->isFinished())
        finishBatchIfDone();
}

void importOrdersPhotoDlg::lookDiskSizeSlot(QString picPath)
{
    qDebug() << "服务器空间不足" << picPath;
    // A full disk ends the batch: the worker has stopped itself, no order is
    // started after it, and the batch's last box says so.
    if (m_batchRunning) {
        m_diskFull = true;
        m_stopping = true;
        return;
    }
    Prompts::information(this, kWarning, QStringLiteral("服务器空间不足，请清理空间后再导入"), Prompts::Ok);
}

void importOrdersPhotoDlg::lookPicPathSlot()
{
    // Only a name the share refused is the customer's data; any other cause
    // is the worker's to name, and leaves the folder suffix alone.
    const auto* worker = qobject_cast<const ImportOrderThread*>(sender());
    const QString cause = worker ? worker->orderFolderFault() : QString();
    Prompts::question(nullptr, kWarning,
                      cause.isEmpty() ? QStringLiteral("客人信息包含特殊字符，请修改后再导片") : cause,
                      Prompts::Yes, Prompts::Yes);
    // The box has one button: any way it is closed means going on.
    Config::disk_space = QStringLiteral("go");
    if (cause.isEmpty())
        m_lockSuffix = true;
    m_stopping = true;
    m_ordersDone = true;
    if (!m_worker || m_worker->isFinished())
        finishBatchIfDone();
    if (cause.isEmpty())
        prefieFolderEdit->setEnabled(false);
}

// ---------------------------------------------------------------- N8 folder import

QString importOrdersPhotoDlg::n8Refusal(const ImportOrderModel* model) const
{
    const QString chosen = model->getN8Path();
    switch (N8Import::check(chosen, Config::importServN8Path)) {
    case N8Import::Refusal::None:
        return QString();
    case N8Import::Refusal::NoN8Folder:
        return QStringLiteral("订单%1没有设置N8路径").arg(model->getOrderName());
    case N8Import::Refusal::OutsideMountRoot:
        return QStringLiteral("订单%1的N8目录无法创建：%2")
            .arg(model->getOrderName(), Config::importServN8Path);
    case N8Import::Refusal::UnusableSource:
    case N8Import::Refusal::DestinationInSource:
        break;
    }
    return QStringLiteral("订单%1选择的N8文件夹不可用：%2").arg(model->getOrderName(), chosen);
}

void importOrdersPhotoDlg::startImportCopyN8ProgressSlot(QList<N8FileInfo> list, QString toDir)
{
    const QObject* worker = sender();
    if (!worker || worker != m_worker || !m_batchRunning)
        return;
    // The order is handed on: the worker's end no longer ends the batch.
    m_workerFinishedOrder = true;
    const int row = worker->property("row").toInt();
    n8CopiedCount = 0;
    m_n8Failed = 0;
    m_n8NotStarted = 0;
    m_n8Total = list.size();
    setN8Progress(row, 0, list.size());
    if (list.isEmpty()) {
        const ImportOrderModel* model = modelAt(row);
        failN8Order(row,
                    QStringLiteral("订单%1选择的N8文件夹中没有文件：%2")
                        .arg(model ? model->getOrderName() : QString(), model ? model->getN8Path() : toDir));
        return;
    }
    m_n8Row = row;
    // No other order of this batch goes there.
    m_n8Written.insert(QDir::cleanPath(toDir));
    const JobOwnerHandle owner = m_jobs.owner();
    // The destination stays registered as in use until the last copy is done.
    const QSharedPointer<FoldersInUse::Claim> claim = m_worker->n8Claim();
    const auto swept = std::make_shared<FileOperation::SweptFolders>();
    for (int i = 0; i < list.size(); ++i) {
        auto* job = new N8ImportThread(row, i + 1, list.size(), toDir, list.at(i), owner);
        job->holdClaim(claim);
        job->shareSweptFolders(swept);
        job->shareStop(m_n8Stop);
        m_jobs.start(job, 0);
    }
}

void importOrdersPhotoDlg::slt_n8threadmsg(QString str)
{
    Q_UNUSED(str)
    qDebug() << "返回过来的数据哈哈哈哈";
}

void importOrdersPhotoDlg::n8CopyFailedSlot(int row, QString target, bool diskFull)
{
    if (!m_batchRunning || row != m_n8Row)
        return;
    ++m_n8Failed;
    qDebug() << "N8文件复制失败" << target;
    // Every following order would meet the same full share.
    if (diskFull) {
        m_diskFull = true;
        m_stopping = true;
    }
}

void importOrdersPhotoDlg::n8CopyNotStartedSlot(int row)
{
    if (m_batchRunning && row == m_n8Row)
        ++m_n8NotStarted;
}

void importOrdersPhotoDlg::importCopyN8ProgressSlot(int row, int currentCount, int totalCount, QString toDir)
{
    Q_UNUSED(currentCount) // jobs finish in any order; the reports are counted
    if (!m_batchRunning || row != m_n8Row)
        return;
    ++n8CopiedCount;
    qDebug() << "开始导入=" << n8CopiedCount << "--" << totalCount;
    setN8Progress(row, n8CopiedCount, totalCount);
    if (n8CopiedCount == totalCount)
        finishedImportOrderN8Slot(row, toDir);
}

void importOrdersPhotoDlg::finishedImportOrderN8Slot(int row, QString picPath)
{
    if (!m_batchRunning)
        return;
    m_n8Row = -1;
    ImportOrderModel* model = modelAt(row);
    if (!model) {
        endBatch();
        return;
    }
    qDebug().noquote() << QStringLiteral("%1 import finished").arg(model->getOrderName());
    // The pages a stop by closing the dialog left unbegun are the user's
    // choice, not failures: the last box names those that failed.
    if (m_n8Failed > 0)
        m_batchFailures.append(
            {model->getOrderNum(), m_n8Failed, QString(), QStringList(), model->getOrderName()});
    const int notCopied = m_n8Failed + m_n8NotStarted;
    if (m_n8NotStarted > 0) {
        // The close stopped it before all its pages arrived: its folder is
        // not the order's layout yet, and is not recorded as one. Importing
        // the same folder again completes it.
        m_n8Ended.insert(model);
        m_n8Unfinished.append(
            {model->getOrderNum(), m_n8Total - notCopied, m_n8Total, model->getOrderName()});
        setRowState(row, QStringLiteral("未导入"));
    } else if (m_n8Total > 0 && notCopied >= m_n8Total) {
        // Nothing reached the N8 folder: neither recorded nor reported.
        m_n8Ended.insert(model);
        setRowState(row, QStringLiteral("导入失败"));
    } else {
        ++finishedOrderCount;
        model->setisN8Imported(true);
        model->setFinalN8Path(picPath);
        updateN8Info(model, picPath);
        setRowState(row, m_n8Failed > 0 ? QStringLiteral("已导入(%1个失败)").arg(m_n8Failed)
                                        : QStringLiteral("已导入"));
        if (model == curOrderMdl)
            orderN8PathLbl->setText(picPath);
    }
    startNextN8Order();
}

void importOrdersPhotoDlg::n8WorkerFailed(ImportOrderThread* worker)
{
    if (worker != m_worker || !m_batchRunning)
        return;
    m_workerFinishedOrder = true;
    const int row = worker->property("row").toInt();
    const ImportOrderModel* model = modelAt(row);
    if (worker->deletionUnderway()) {
        failN8Order(
            row, FoldersInUse::importRefusedText(
                     model ? IB::orderInBox(model->getOrderNum(), model->getOrderName(), listedOrderNames())
                           : QString()));
        return;
    }
    if (!worker->n8DestinationTaken().isEmpty()) {
        failN8Order(row, QStringLiteral("订单%1的N8目录已被其他订单使用：%2，请将所选文件夹改名后再导入")
                             .arg(model ? model->getOrderName() : QString(), worker->n8DestinationTaken()));
        return;
    }
    if (!worker->n8UnusableFolder().isEmpty()) {
        failN8Order(row, QStringLiteral("订单%1选择的N8文件夹不可用：%2")
                             .arg(model ? model->getOrderName() : QString(), worker->n8UnusableFolder()));
        return;
    }
    if (!worker->n8UnreadableFolder().isEmpty()) {
        // Named as every tool names it, with the note of a name in it that
        // does not read back.
        failN8Order(row, QStringLiteral("订单%1的N8文件夹读取失败：%2")
                             .arg(model ? model->getOrderName() : QString(),
                                  FileOperation::unreadableFolderName(worker->n8UnreadableFolder())));
        return;
    }
    const QString destination =
        model ? N8Import::destinationRoot(Config::importServN8Path, model->getN8Path()) : QString();
    failN8Order(row, QStringLiteral("订单%1的N8目录无法创建：%2")
                         .arg(model ? model->getOrderName() : QString(), destination));
}

void importOrdersPhotoDlg::failN8Order(int row, const QString& text)
{
    if (const ImportOrderModel* model = modelAt(row))
        m_n8Ended.insert(model);
    setRowState(row, QStringLiteral("导入失败"));
    qDebug().noquote() << text;
    showBatchBox({kWarning, text});
    // The dialog may have been closed while the box was up.
    if (m_batchRunning)
        startNextN8Order();
}

void importOrdersPhotoDlg::startNextN8Order()
{
    for (int r = 0; r < orderMdlLst.size() && !m_stopping; ++r) {
        const ImportOrderModel* model = orderMdlLst.at(r);
        if (!model->getisN8Imported() && !m_n8Ended.contains(model)) {
            startOrderImport(r);
            return;
        }
    }
    // The last box, as for the other types, once every record is answered;
    // the orders that could not be imported at all have said why already.
    stopStartingOrders();
}

void importOrdersPhotoDlg::setRowState(int row, const QString& text)
{
    if (QTableWidgetItem* state = ordersTableWgt->item(row, ColState))
        state->setText(text);
}

void importOrdersPhotoDlg::setN8Progress(int row, int done, int total)
{
    QWidget* cell = ordersTableWgt->cellWidget(row, ColProgress);
    if (!cell)
        return;
    if (auto* bar = cell->findChild<QProgressBar*>()) {
        bar->setRange(0, total);
        bar->setValue(done);
    }
    if (QLabel* label = progressLabel(row))
        label->setText(QStringLiteral("%1/%2").arg(done).arg(total));
}

void importOrdersPhotoDlg::closeEvent(QCloseEvent* event)
{
    if (!confirmClose()) {
        event->ignore();
        return;
    }
    releaseAfterWorker();
    holdForReports();
    QDialog::closeEvent(event);
    releaseWhenIdle();
}

void importOrdersPhotoDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    giveValuesRoom();
}

void importOrdersPhotoDlg::giveValuesRoom()
{
    const QList<int> sizes = m_splitter->sizes();
    if (m_splitterMoved || sizes.size() != 2)
        return;
    QWidget* left = m_splitter->widget(0);
    QWidget* right = m_splitter->widget(1);
    const QMargins rightMargins = right->layout()->contentsMargins();
    const int wanted = m_infoGrid->sizeHint().width() + rightMargins.left() + rightMargins.right();
    // The order table keeps its columns up to the select buttons in sight.
    const QMargins leftMargins = left->layout()->contentsMargins();
    const QPushButton probe(IB::typeTexts(importType).select);
    const int throughSelect = leftMargins.left() + leftMargins.right() + 2 * ordersTableWgt->frameWidth() +
                              ordersTableWgt->verticalHeader()->sizeHint().width() +
                              ordersTableWgt->horizontalHeader()->sectionPosition(ColOperations) + 10 +
                              probe.sizeHint().width();
    const int leftKeeps = qMax(throughSelect, left->minimumSizeHint().width());
    const int total = sizes.at(0) + sizes.at(1);
    int room = sizes.at(1);
    if (room < wanted)
        room = qMax(0, qMin(wanted, total - leftKeeps));
    else if (total - room < leftKeeps)
        room = qMax(wanted, total - leftKeeps);
    if (room != sizes.at(1))
        m_splitter->setSizes({total - room, room});
}

void importOrdersPhotoDlg::done(int result)
{
    // Escape and reject() close a dialog without a close event.
    if (!confirmClose())
        return;
    // A close that ends a batch names them in the batch's last box; an
    // idle dialog as it goes (the close event comes here too).
    if (!m_batchRunning) {
        const QList<IB::ReportFailure> owed = takeOwedRecords(orderMdlLst, IB::Afterwards::WindowClosed);
        if (!owed.isEmpty())
            showBatchBox(IB::notTakenBox(owed, IB::Afterwards::WindowClosed, listedOrderNames()));
    }
    closeSearchWindows();
    releaseAfterWorker();
    holdForReports();
    QDialog::done(result);
    releaseWhenIdle();
}

bool importOrdersPhotoDlg::confirmClose()
{
    if (!m_batchRunning || m_closeConfirmed)
        return true;
    if (m_closeRequested)
        return false; // already stopping; the dialog closes once the order is reported
    // The batch may end while the question is open; its box waits for the
    // answer, and a no keeps the dialog open all the same.
    m_closeQuestionOpen = true;
    const Prompts::StandardButton answer =
        Prompts::question(this, QStringLiteral("提示"), QStringLiteral("正在导片，确定停止导片并关闭吗？"),
                          Prompts::Yes | Prompts::No, Prompts::No);
    m_closeQuestionOpen = false;
    const QList<IB::Box> held = std::exchange(m_heldBoxes, {});
    for (const IB::Box& box : held)
        showBatchBox(box);
    if (std::exchange(m_batchBoxHeld, false))
        showBatchBox(lastBatchBox(answer == Prompts::Yes));
    if (answer != Prompts::Yes)
        return false;
    if (!m_batchRunning)
        return true;
    const bool inWork =
        importType == ImportN8 ? (m_worker && !m_workerFinishedOrder) || m_n8Row >= 0 : bool(m_worker);
    if (!inWork) {
        // Only records are on their way: the last box follows the dialog.
        m_closeConfirmed = true;
        return true;
    }
    // The files in work arrive, no other begins (an N8 walk hands nothing
    // over), and the order is reported; then the dialog goes.
    m_closeRequested = true;
    m_stopping = true;
    if (m_worker)
        m_worker->stop();
    m_n8Stop->store(true);
    return false;
}

void importOrdersPhotoDlg::releaseAfterWorker()
{
    m_jobs.close();
    ImportOrderThread* worker = m_worker;
    if (!worker || m_releaseDeferred)
        return;
    // The worker ends after its current file; the dialog goes with it.
    m_releaseDeferred = true;
    disconnect(worker, nullptr, this, nullptr);
    m_batchRunning = false;
    worker->requestInterruption();
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void importOrdersPhotoDlg::holdForReports()
{
    // Deleting the dialog on close would cut its reports off.
    if (!m_reports.isEmpty() && testAttribute(Qt::WA_DeleteOnClose)) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        m_releaseWhenIdle = true;
    }
}

void importOrdersPhotoDlg::releaseWhenIdle()
{
    if (m_releaseWhenIdle && !isVisible() && m_reports.isEmpty() && !m_worker)
        Prompts::whenNoBoxOpen(this, [this] { deleteLater(); });
}

// ---------------------------------------------------------------- bookkeeping

void importOrdersPhotoDlg::updateFinishInfo(ImportOrderModel* model, QString stage, int serverCount,
                                            int backupCount, const QStringList& videos)
{
    postFinishInfo(model, importType, stage, serverCount, backupCount, videos);
}

void importOrdersPhotoDlg::postFinishInfo(ImportOrderModel* model, ImportTypeEnum type, const QString& stage,
                                          int serverCount, int backupCount, const QStringList& videos)
{
    if (!model)
        return;
    IB::OrderPathRecord record;
    record.picNumber = serverCount;
    record.backNumber = backupCount;
    record.stage = stage;
    record.orderId = model->getOrderID();
    record.orderPath = model->serverFormOrderPath();
    record.backupPath = model->serverFormOrderBackupPath();
    record.timestamp = Clock::now().toMSecsSinceEpoch();
    record.type = type;
    record.videos = IB::isVideoType(type) ? videos : QStringList();
    const QByteArray body = IB::orderPathBody(record);
    if (!IB::sendsOrderPathRecord(type, stage))
        return;
    qDebug().noquote() << "提交路径地址1:===" << Config::url_post_orderpicpath;
    qDebug().noquote() << "postData===" << body;
    // Posted by the dialog itself: a batch tells a failed report with its
    // order in its last box instead of one bare box per request. The
    // service adds a completion record's counts: Qt must never send one
    // that adds any twice.
    const bool addsCount = stage == QLatin1String("1") && (serverCount != 0 || backupCount != 0);
    ReportPost post{model, stage, type, m_batchRunning};
    post.addsCount = addsCount;
    postRecord(addsCount ? WebService::postOnce(m_reportManager, Config::url_post_orderpicpath, body)
                         : WebService::post(m_reportManager, Config::url_post_orderpicpath, body),
               post);
}

void importOrdersPhotoDlg::postRecord(QNetworkReply* reply, const ReportPost& post)
{
    m_reports.insert(reply, post);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { orderInfoReplySlot(reply); });
    // The client waits for it before it exits.
    PendingRecords::instance().watch(reply);
}

void importOrdersPhotoDlg::recordNotTaken(const ReportPost& post, const WebService::Reply& reply,
                                          IB::Afterwards afterwards)
{
    const IB::ReportFailure failure{post.model->getOrderNum(), IB::reportFailureStatus(reply), afterwards,
                                    IB::typeTexts(post.type).name, post.model->getOrderName()};
    if (PendingRecords::instance().quitting())
        PendingRecords::instance().lostAtQuit(failure, listedOrderNames());
    else
        m_reportFailures.append(failure);
}

QList<IB::ReportFailure> importOrdersPhotoDlg::takeOwedRecords(const QList<ImportOrderModel*>& models,
                                                               IB::Afterwards afterwards)
{
    QList<IB::ReportFailure> owed;
    for (ImportOrderModel* model : models) {
        for (int type = ImportOriginal; type <= ImportRetouchedVideo; ++type) {
            ImportOrderModel::RunOutcome outcome = model->runOutcome(ImportTypeEnum(type));
            if (!outcome.reportPending)
                continue;
            owed.append({model->getOrderNum(), outcome.reportStatus, afterwards,
                         IB::typeTexts(ImportTypeEnum(type)).name, model->getOrderName()});
            outcome.reportPending = false;
            model->setRunOutcome(ImportTypeEnum(type), outcome);
        }
    }
    return owed;
}

void importOrdersPhotoDlg::orderInfoReplySlot(QNetworkReply* reply)
{
    reply->deleteLater();
    const ReportPost post = m_reports.take(reply);
    const WebService::Reply r = WebService::read(reply);
    ImportOrderModel* model = post.model;
    const bool completion = post.stage == QLatin1String("1");
    if (r.kind == WebService::Reply::Kind::TransportError)
        qDebug() << "上报失败" << post.stage << r.statusText << r.errorString;
    else if (r.kind == WebService::Reply::Kind::NotJsonObject)
        qDebug().noquote() << "上报回复无法读取" << post.stage << QString::fromUtf8(r.body.left(200));
    else if (post.n8Record)
        httpUploadN8InfoJson(r.object);
    else
        httpUploadOrderInfoJson(r.object);
    if (post.n8Record) {
        if (model && post.inBatch && !r.ok())
            recordNotTaken(post, r, IB::Afterwards::Nothing);
    } else if (!post.inBatch && !r.ok()) {
        // The 重新导片 record: unless the service took it, it still holds
        // the order's old folders while the row says "未导入". A page in
        // place of its answer may or may not have been kept: told as a lost
        // reply.
        if (model && PendingRecords::instance().quitting())
            recordNotTaken(post, r, IB::Afterwards::LostAtQuit);
        else
            WebService::reportRecordFailure(r, QStringLiteral("错误代码：") + r.code);
    } else if (completion && model && post.inBatch && !r.ok()) {
        // The files are in place; the report is owed until the service has
        // taken it: a refusal or a reply that cannot be read is no receipt.
        // The service adds its counts, though: one that may have reached it
        // is never sent again, and named to be checked.
        const bool givenUp = post.addsCount && r.kind != WebService::Reply::Kind::Refusal &&
                             !WebService::reachedNothing(reply);
        ImportOrderModel::RunOutcome outcome = model->runOutcome(post.type);
        // One handed to the records named at quit is named there only.
        outcome.reportPending = !givenUp && !PendingRecords::instance().quitting();
        outcome.reportStatus = IB::reportFailureStatus(r);
        model->setRunOutcome(post.type, outcome);
        recordNotTaken(post, r, givenUp ? IB::Afterwards::Check : IB::Afterwards::BatchAgain);
    } else if (completion && model && r.ok() && model->runOutcome(post.type).reportPending) {
        ImportOrderModel::RunOutcome outcome = model->runOutcome(post.type);
        outcome.reportPending = false;
        model->setRunOutcome(post.type, outcome);
    }
    if (completion && model && post.type == importType) {
        const int row = orderMdlLst.indexOf(model);
        if (row >= 0) {
            setRowState(row, rowState(model));
            fitStateColumn();
        }
    }
    if (post.inBatch)
        finishBatchIfDone();
    releaseWhenIdle();
}

void importOrdersPhotoDlg::updataVideoList(ImportOrderModel* model, QString names, QString paths)
{
    if (!model)
        return;
    const QByteArray body =
        IB::videoListBody(model->getOrderID(), names, paths, importType, Clock::now().toMSecsSinceEpoch());
    qDebug().noquote() << "更新选片视频地址:===" << Config::url_video_updata;
    qDebug().noquote() << "postData===" << body;
    HttpRequest* request = HttpRequest::startNetRecord(Config::url_video_updata, body, true);
    connect(request, SIGNAL(netSuccessInfo(QJsonObject)), this, SLOT(httpUploadVideoListJson(QJsonObject)));
}

void importOrdersPhotoDlg::updateN8Info(ImportOrderModel* model, QString n8path)
{
    if (!model)
        return;
    qDebug() << "getOrderPath=" << model->getOrderPath();
    // The N8 station reads the folder back from the web service: a record
    // it did not take is named with its order in the batch's last box.
    postRecord(WebService::post(m_reportManager, Config::url_n8updatapath,
                                IB::n8PathBody(model->getOrderID(), n8path)),
               ReportPost{model, QString(), ImportN8, m_batchRunning, true});
}

void importOrdersPhotoDlg::httpUploadOrderInfoJson(QJsonObject reply)
{
    qDebug() << "infoJson" << reply;
}

void importOrdersPhotoDlg::httpUploadN8InfoJson(QJsonObject reply)
{
    qDebug() << "infoJson" << reply;
}

void importOrdersPhotoDlg::httpUploadVideoListJson(QJsonObject reply)
{
    Prompts::information(nullptr, kNotice, reply.value(QStringLiteral("message")).toString(), Prompts::Ok);
}

void importOrdersPhotoDlg::clearImportMdlInfo(ImportOrderModel* model)
{
    if (!model)
        return;
    model->setOrderPath(QString());
    model->setOrderBackupPath(QString());
    for (const ImportTypeEnum type : {ImportOriginal, ImportFinished, ImportDesign}) {
        model->setChosenFiles(type, {});
        model->setFoundCount(type, 0);
        model->setDoneCount(type, 0);
        model->setImported(type, false);
    }
}

void importOrdersPhotoDlg::upDataVideoUrlsBtnSlot()
{
    if (!IB::isVideoType(importType))
        return;
    ImportOrderModel* model = curOrderMdl;
    if (curRow == -1 || !model) {
        Prompts::information(nullptr, kNotice, QStringLiteral("请选择更新视频的订单"), Prompts::Ok);
        return;
    }
    if (model->getOrderPath().isEmpty()) {
        Prompts::information(nullptr, kNotice, QStringLiteral("此订单未导视频"), Prompts::Ok);
        return;
    }
    const QString folder = withSlash(model->getOrderPath()) + IB::importFolder(importType);
    // A folder that cannot be read is no empty list to send.
    QFileInfoList files;
    if (!FileOperation::isDirExist(folder) || !FileOperation::listMatching(folder, {}, QDir::Files, &files)) {
        Prompts::information(nullptr, kNotice,
                             QStringLiteral("此订单导片路径打不开，请检查服务器是否连接成功！"), Prompts::Ok);
        return;
    }
    QStringList names;
    QStringList paths;
    for (const QFileInfo& file : qAsConst(files)) {
        names.append(file.fileName());
        paths.append(file.absoluteFilePath());
    }
    Prompts::Message box;
    box.icon = Prompts::Icon::Information;
    box.title = kNotice;
    box.text = IB::videoUpdateQuestion(importType, folder, names);
    box.richText = true;
    box.buttons = Prompts::Yes | Prompts::No;
    box.defaultButton = Prompts::No;
    if (Prompts::instance().message(box).standard != Prompts::Yes)
        return;
    updataVideoList(model, names.join(QLatin1Char('|')), paths.join(QLatin1Char('|')));
}

// ---------------------------------------------------------------- imported images

void importOrdersPhotoDlg::showExistImages(QString orderPath)
{
    updateThumb(IB::existingThumbnails(orderPath, importType));
}

void importOrdersPhotoDlg::updateThumb(QList<QString> paths)
{
    showDefaultThumb(paths);
    showThumbnail(paths);
}

void importOrdersPhotoDlg::showDefaultThumb(QList<QString> paths)
{
    // Icons still coming for the old items are dropped.
    *m_liveThumbGeneration = ++m_thumbGeneration;
    orderImportedLstWgt->clear();
    for (const QString& path : qAsConst(paths)) {
        auto* item = new QListWidgetItem(FileOperation::getFileName(path));
        item->setSizeHint(QSize(100, 120));
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        orderImportedLstWgt->addItem(item);
    }
}

void importOrdersPhotoDlg::showThumbnail(QList<QString> paths)
{
    if (paths.isEmpty())
        return;
    *m_liveThumbGeneration = ++m_thumbGeneration;
    const int generation = m_thumbGeneration;
    const QSharedPointer<std::atomic<int>> live = m_liveThumbGeneration;
    const JobOwnerHandle owner = m_jobs.owner();
    // Read from the share off this thread, so a long list never holds the
    // window up; each icon lands on its item as it is ready.
    m_jobs.start(QRunnable::create([paths, generation, live, owner] {
        for (int i = 0; i < paths.size(); ++i) {
            if (live->load() != generation || !owner.isShown())
                return;
            const QImage icon = listIcon(paths.at(i));
            if (!icon.isNull())
                owner.post("setThumbIcon", generation, i, icon);
        }
    }));
}

void importOrdersPhotoDlg::setThumbIcon(int generation, int index, QImage icon)
{
    if (generation != m_thumbGeneration)
        return;
    if (QListWidgetItem* item = orderImportedLstWgt->item(index))
        item->setIcon(QIcon(PictureWork::toPixmap(icon)));
}

void importOrdersPhotoDlg::showLstWgtContextMenuSlot(QPoint pos)
{
    Q_UNUSED(pos)
    if (orderImportedLstWgt->selectedItems().isEmpty())
        return;
    deleteImportedAction->setEnabled(!IB::importedFolders(importType).deleteFrom.isEmpty() && curOrderMdl &&
                                     !curOrderMdl->getOrderPath().isEmpty());
    importedMenu->popup(QCursor::pos());
}

void importOrdersPhotoDlg::openImportedImgSlot()
{
    if (!curOrderMdl)
        return;
    const QString orderPath = withSlash(curOrderMdl->getOrderPath());
    qDebug() << "open orderPath:" << orderPath;
    const QString folder = IB::importedFolders(importType).opened;
    if (folder.isEmpty())
        return;
    FileOperation::openOrderFolder(orderPath + folder, this);
}

void importOrdersPhotoDlg::deleteImportedImgSlot()
{
    QStringList names;
    for (const QListWidgetItem* item : orderImportedLstWgt->selectedItems())
        names.append(item->text());
    delListFiles(&names);
}

void importOrdersPhotoDlg::delListFiles(const QStringList* names)
{
    // Only the image types have folders to delete from, and only inside the
    // current order's folder.
    const QStringList folders = IB::importedFolders(importType).deleteFrom;
    if (!names || !curOrderMdl || curOrderMdl->getOrderPath().isEmpty() || folders.isEmpty())
        return;
    const QString orderPath = withSlash(curOrderMdl->getOrderPath());
    qDebug() << "delete orderPath:" << orderPath;
    for (const QString& text : *names) {
        const QString name = IB::plainFileName(text);
        if (name.isEmpty())
            continue;
        for (const QString& folder : folders) {
            // A file that cannot be looked at is not taken for a missing one:
            // its removal is tried, and the list then shows what is left.
            const QString file = orderPath + folder + name;
            const FileOperation::Presence presence = FileOperation::lookUp(file);
            if (presence == FileOperation::Presence::File || presence == FileOperation::Presence::Unreadable)
                FileOperation::removeFile(file);
        }
    }
    showExistImages(orderPath);
    // The row counts what is left.
    getExistImagesCount(curOrderMdl);
    if (modelAt(curRow) == curOrderMdl)
        setRowState(curRow, rowState(curOrderMdl));
}

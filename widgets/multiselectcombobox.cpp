#include "multiselectcombobox.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardItemModel>

namespace {
const char kDeleteIcon[] = "://del.png";
// The popup row a chip stands for, kept on the chip.
const int kRowRole = Qt::UserRole + 1;
} // namespace

MultiSelectComboBox::MultiSelectComboBox(QWidget* parent)
    : QComboBox(parent), m_promptButton(nullptr), m_chipView(nullptr),
      m_chipModel(new QStandardItemModel(this)), m_popupView(nullptr),
      m_popupModel(new QStandardItemModel(this))
{
    setStyleSheet(QStringLiteral("QComboBox::drop-down{border-style:none;}"));
    // The line edit lies under the chips and the prompt button; it is never
    // used, and typing into it must not add entries.
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);

    m_chipView = new QListView(this);
    m_chipView->setObjectName(QStringLiteral("chipView"));
    m_chipView->setMinimumHeight(30);
    m_chipView->setStyleSheet(
        QStringLiteral("QListView{outline: none;} QListView::item {background:#BDD7FD;} "
                       "QListView::item:hover {background: #BDD7FD;}"));
    m_chipView->setIconSize(QSize(12, 12));
    m_chipView->setSpacing(3);
    m_chipView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_chipView->setResizeMode(QListView::Adjust);
    m_chipView->setWrapping(true);
    m_chipView->setFlow(QListView::LeftToRight);
    m_chipView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_chipView->setSelectionMode(QAbstractItemView::NoSelection);
    m_chipView->setModel(m_chipModel);
    m_chipView->hide();

    m_promptButton = new QPushButton(this);
    m_promptButton->setObjectName(QStringLiteral("promptButton"));
    connect(m_promptButton, &QPushButton::clicked, this, &MultiSelectComboBox::slt_downpopshos);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_chipView);
    layout->addWidget(m_promptButton);

    m_popupView = new QListView();
    m_popupView->setModel(m_popupModel);
    setView(m_popupView); // the box takes the view over
    setModel(m_popupModel);

    m_chipView->viewport()->installEventFilter(this);
    installEventFilter(this);
    view()->parentWidget()->installEventFilter(this); // the popup frame

    connect(this, QOverload<int>::of(&QComboBox::activated), this, &MultiSelectComboBox::slt_activited);
}

void MultiSelectComboBox::makeRowCheckable(int row)
{
    if (QStandardItem* item = m_popupModel->item(row))
        item->setCheckable(true);
}

void MultiSelectComboBox::addItem(const QString& text, const QVariant& userData)
{
    addItem(QIcon(), text, userData);
}

void MultiSelectComboBox::addItem(const QIcon& icon, const QString& text, const QVariant& userData)
{
    const int row = count();
    QComboBox::addItem(icon, text, userData);
    makeRowCheckable(row);
}

void MultiSelectComboBox::addItems(const QStringList& texts)
{
    QComboBox::addItems(texts);
    for (int row = 0; row < m_popupModel->rowCount(); ++row)
        makeRowCheckable(row);
}

void MultiSelectComboBox::setAlertText(const QString& text)
{
    m_promptButton->setText(text);
}

void MultiSelectComboBox::allsel()
{
    for (int row = 0; row < m_popupModel->rowCount(); ++row)
        slt_activited(row);
}

QStringList MultiSelectComboBox::currentText() const
{
    QStringList texts;
    for (int row = 0; row < m_popupModel->rowCount(); ++row) {
        const QStandardItem* item = m_popupModel->item(row);
        if (item->checkState() == Qt::Checked)
            texts.append(item->text());
    }
    return texts;
}

QList<int> MultiSelectComboBox::currentIndex() const
{
    QList<int> rows;
    for (int row = 0; row < m_popupModel->rowCount(); ++row) {
        if (m_popupModel->item(row)->checkState() == Qt::Checked)
            rows.append(row);
    }
    return rows;
}

void MultiSelectComboBox::showPopup()
{
    QComboBox::showPopup();
    m_closeFlag = false;
}

void MultiSelectComboBox::hidePopup()
{
    if (m_closeFlag)
        QComboBox::hidePopup();
}

void MultiSelectComboBox::slt_downpopshos()
{
    showPopup();
}

void MultiSelectComboBox::slt_activited(int num)
{
    QStandardItem* entry = m_popupModel->item(num);
    if (!entry)
        return;
    const int chip = chipOfRow(entry->index());
    if (chip >= 0) {
        m_chipModel->removeRow(chip);
        entry->setCheckState(Qt::Unchecked);
    } else {
        entry->setCheckState(Qt::Checked);
        auto* item = new QStandardItem(QIcon(QString::fromLatin1(kDeleteIcon)), entry->text());
        item->setData(QVariant::fromValue(QPersistentModelIndex(entry->index())), kRowRole);
        m_chipModel->appendRow(item);
    }
    updateVisibility();
}

int MultiSelectComboBox::chipOfRow(const QModelIndex& row) const
{
    for (int chip = 0; chip < m_chipModel->rowCount(); ++chip) {
        if (m_chipModel->item(chip)->data(kRowRole).value<QPersistentModelIndex>() == row)
            return chip;
    }
    return -1;
}

void MultiSelectComboBox::updateVisibility()
{
    const bool nothingPicked = m_chipModel->rowCount() == 0;
    m_promptButton->setVisible(nothingPicked);
    m_chipView->setVisible(!nothingPicked);
}

void MultiSelectComboBox::selectItemViewPress(QPoint pos)
{
    const QModelIndex chip = m_chipView->indexAt(pos);
    if (chip.isValid()) {
        const QRect mark(m_chipView->visualRect(chip).topLeft(), m_chipView->iconSize());
        if (mark.contains(pos)) {
            const QPersistentModelIndex row = chip.data(kRowRole).value<QPersistentModelIndex>();
            if (QStandardItem* entry = m_popupModel->itemFromIndex(row))
                entry->setCheckState(Qt::Unchecked);
            m_chipModel->removeRow(chip.row());
            updateVisibility();
        }
    }
    showPopup();
}

bool MultiSelectComboBox::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* frame = view()->parentWidget();
    QWidget* chipViewport = m_chipView->viewport();
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (watched == frame) {
            // While the popup is open it receives every press, also those
            // on the chips and those outside the box.
            const QPoint global = press->screenPos().toPoint();
            const QRect frameRect(frame->mapToGlobal(QPoint(0, 0)), frame->size());
            const QRect chipRect(chipViewport->mapToGlobal(QPoint(0, 0)), chipViewport->size());
            if (frameRect.contains(global) || chipRect.contains(global))
                selectItemViewPress(chipViewport->mapFromGlobal(global));
            else
                m_closeFlag = true;
        } else if (watched == chipViewport) {
            selectItemViewPress(press->localPos().toPoint());
        }
    } else if (event->type() == QEvent::Wheel && watched == this) {
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

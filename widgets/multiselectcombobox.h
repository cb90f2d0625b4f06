#pragma once

#include <QComboBox>
#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariant>

class QListView;
class QPushButton;
class QStandardItemModel;

// A combo box whose popup rows carry check boxes. The picked entries show
// inside the box as chips; a press on a chip's corner mark unpicks it. With
// nothing picked the box shows a prompt button instead. The popup stays
// open while the user picks and closes on a press outside it and the chips.
// Each chip belongs to its row, so two entries may share a text (two stores
// of one name, or two without a name).
class MultiSelectComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit MultiSelectComboBox(QWidget* parent = nullptr);

    void addItem(const QString& text, const QVariant& userData = QVariant());
    void addItem(const QIcon& icon, const QString& text, const QVariant& userData = QVariant());
    void addItems(const QStringList& texts);
    void setAlertText(const QString& text);

    // Toggles every row once, first to last.
    void allsel();
    // The picked rows' texts and row numbers, in row order.
    QStringList currentText() const;
    QList<int> currentIndex() const;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showPopup() override;
    // Hides the popup only after a press outside it and the chips.
    void hidePopup() override;

public slots:
    void slt_activited(int num);
    void slt_downpopshos();

private:
    void selectItemViewPress(QPoint pos);
    void updateVisibility();
    void makeRowCheckable(int row);
    // The chip of a popup row, -1 when the row has none.
    int chipOfRow(const QModelIndex& row) const;

    bool m_closeFlag = false;
    QPushButton* m_promptButton;
    QListView* m_chipView;
    QStandardItemModel* m_chipModel;
    QListView* m_popupView;
    QStandardItemModel* m_popupModel;
};

#include "multiselectcombobox.h"

#include <QtTest>

#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QWheelEvent>

class TestMultiSelectComboBox : public QObject
{
    Q_OBJECT

private slots:
    void newBoxPicksNothing();
    void addItemMakesRowsCheckable();
    void allselTogglesEveryRow_data();
    void allselTogglesEveryRow();
    void activatingTogglesAndLastChipShowsPrompt();
    void clickingPopupRowsKeepsPopupOpen();
    void chipCornerRemovesOnlyInsideMark_data();
    void chipCornerRemovesOnlyInsideMark();
    void pressWhilePopupOpen();
    void wheelChangesNothing();
};

namespace {
QListView* chipView(MultiSelectComboBox& box)
{
    return box.findChild<QListView*>(QStringLiteral("chipView"));
}

QPushButton* promptButton(MultiSelectComboBox& box)
{
    return box.findChild<QPushButton*>(QStringLiteral("promptButton"));
}

QStringList chipTexts(MultiSelectComboBox& box)
{
    QStringList texts;
    QAbstractItemModel* model = chipView(box)->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, 0).data().toString());
    return texts;
}

Qt::CheckState checkState(MultiSelectComboBox& box, int row)
{
    return Qt::CheckState(box.model()->index(row, 0).data(Qt::CheckStateRole).toInt());
}

bool popupOpen(MultiSelectComboBox& box)
{
    return box.view()->parentWidget()->isVisible();
}

const QStringList kStores{QStringLiteral("总店"), QStringLiteral("东门店"), QStringLiteral("西门店")};
// Two stores of one name.
const QStringList kTwins{QStringLiteral("总店"), QStringLiteral("总店"), QStringLiteral("西门店")};

// A shown box with three stores, every one picked.
void fillShown(MultiSelectComboBox& box, const QStringList& stores = kStores)
{
    box.resize(400, 40);
    box.addItems(stores);
    box.allsel();
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
}
} // namespace

void TestMultiSelectComboBox::newBoxPicksNothing()
{
    MultiSelectComboBox box;
    QVERIFY(chipView(box) && promptButton(box));
    QVERIFY(!promptButton(box)->isHidden());
    QCOMPARE(promptButton(box)->text(), QString());
    QVERIFY(chipView(box)->isHidden());

    box.addItems(kStores);
    box.setAlertText(QStringLiteral("点击选择店铺"));
    QCOMPARE(promptButton(box)->text(), QStringLiteral("点击选择店铺"));
    QVERIFY(box.currentText().isEmpty());
    QVERIFY(box.currentIndex().isEmpty());
    QVERIFY(!promptButton(box)->isHidden());
    for (int row = 0; row < kStores.size(); ++row) {
        QVERIFY(box.model()->flags(box.model()->index(row, 0)) & Qt::ItemIsUserCheckable);
        QCOMPARE(checkState(box, row), Qt::Unchecked);
    }
}

void TestMultiSelectComboBox::addItemMakesRowsCheckable()
{
    MultiSelectComboBox box;
    box.addItem(QStringLiteral("总店"), 11);
    box.addItem(QIcon(), QStringLiteral("东门店"), 12);
    box.addItem(QStringLiteral("总店"), 13); // a second store of one name
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.itemData(1).toInt(), 12);
    for (int row = 0; row < 3; ++row)
        QVERIFY(box.model()->flags(box.model()->index(row, 0)) & Qt::ItemIsUserCheckable);
    box.slt_activited(1);
    QCOMPARE(box.currentText(), QStringList{QStringLiteral("东门店")});
    QCOMPARE(box.currentIndex(), QList<int>{1});
}

void TestMultiSelectComboBox::allselTogglesEveryRow_data()
{
    QTest::addColumn<QList<int>>("pickedBefore");
    QTest::addColumn<QList<int>>("pickedAfter");
    QTest::addColumn<QStringList>("chipsAfter");
    QTest::addColumn<QStringList>("stores");
    QTest::newRow("nothing picked") << QList<int>() << QList<int>({0, 1, 2}) << kStores << kStores;
    QTest::newRow("middle picked") << QList<int>({1}) << QList<int>({0, 2})
                                   << QStringList({kStores.at(0), kStores.at(2)}) << kStores;
    QTest::newRow("last then first picked")
        << QList<int>({2, 0}) << QList<int>({1}) << QStringList({kStores.at(1)}) << kStores;
    QTest::newRow("all picked") << QList<int>({0, 1, 2}) << QList<int>() << QStringList() << kStores;
    QTest::newRow("two stores of one name") << QList<int>() << QList<int>({0, 1, 2}) << kTwins << kTwins;
}

void TestMultiSelectComboBox::allselTogglesEveryRow()
{
    QFETCH(QList<int>, pickedBefore);
    QFETCH(QList<int>, pickedAfter);
    QFETCH(QStringList, chipsAfter);
    QFETCH(QStringList, stores);
    MultiSelectComboBox box;
    box.addItems(stores);
    for (int row : pickedBefore)
        box.slt_activited(row);
    box.allsel();

    QCOMPARE(box.currentIndex(), pickedAfter);
    QStringList texts;
    for (int row : pickedAfter)
        texts.append(stores.at(row));
    QCOMPARE(box.currentText(), texts);
    QCOMPARE(chipTexts(box), chipsAfter);
    for (int row = 0; row < stores.size(); ++row)
        QCOMPARE(checkState(box, row), pickedAfter.contains(row) ? Qt::Checked : Qt::Unchecked);
    QCOMPARE(promptButton(box)->isHidden(), !pickedAfter.isEmpty());
    QCOMPARE(chipView(box)->isHidden(), pickedAfter.isEmpty());
}

void TestMultiSelectComboBox::activatingTogglesAndLastChipShowsPrompt()
{
    MultiSelectComboBox box;
    box.addItems(kStores);
    emit box.activated(2);
    emit box.activated(0);
    QCOMPARE(chipTexts(box), QStringList({kStores.at(2), kStores.at(0)})); // order of picking
    QCOMPARE(box.currentIndex(), QList<int>({0, 2}));                      // row order
    QVERIFY(promptButton(box)->isHidden());

    emit box.activated(2);
    QCOMPARE(box.currentIndex(), QList<int>{0});
    QCOMPARE(chipTexts(box), QStringList{kStores.at(0)});
    emit box.activated(0);
    QVERIFY(box.currentIndex().isEmpty());
    QVERIFY(!promptButton(box)->isHidden());
    QVERIFY(chipView(box)->isHidden());

    box.slt_activited(7); // no such row
    QVERIFY(box.currentIndex().isEmpty());
}

void TestMultiSelectComboBox::clickingPopupRowsKeepsPopupOpen()
{
    MultiSelectComboBox box;
    box.resize(400, 40);
    box.addItems(kStores);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(promptButton(box), Qt::LeftButton);
    QTRY_VERIFY(popupOpen(box));
    QTest::qWait(QApplication::doubleClickInterval() + 50); // the popup ignores a release right after opening

    for (int row : {1, 2}) {
        QWidget* viewport = box.view()->viewport();
        const QPoint at = box.view()->visualRect(box.model()->index(row, 0)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(popupOpen(box));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
    }
    QCOMPARE(box.currentIndex(), QList<int>({1, 2}));
    QCOMPARE(chipTexts(box), QStringList({kStores.at(1), kStores.at(2)}));
}

void TestMultiSelectComboBox::chipCornerRemovesOnlyInsideMark_data()
{
    QTest::addColumn<QPoint>("offset"); // from the chip's top left corner
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QStringList>("stores");
    QTest::addColumn<int>("chip"); // the chip pressed, that of the same row
    QTest::newRow("inside the mark") << QPoint(2, 2) << true << kStores << 0;
    QTest::newRow("right of the mark") << QPoint(13, 2) << false << kStores << 0;
    QTest::newRow("below the mark") << QPoint(2, 12) << false << kStores << 0;
    QTest::newRow("the second of two stores of one name") << QPoint(2, 2) << true << kTwins << 1;
}

void TestMultiSelectComboBox::chipCornerRemovesOnlyInsideMark()
{
    QFETCH(QPoint, offset);
    QFETCH(bool, removed);
    QFETCH(QStringList, stores);
    QFETCH(int, chip);
    MultiSelectComboBox box;
    fillShown(box, stores);
    QListView* chips = chipView(box);
    const QRect pressed = chips->visualRect(chips->model()->index(chip, 0));
    QVERIFY(pressed.width() > 14 && pressed.height() > 13);
    QVERIFY(!popupOpen(box));

    QTest::mousePress(chips->viewport(), Qt::LeftButton, Qt::NoModifier, pressed.topLeft() + offset);
    QTRY_VERIFY(popupOpen(box)); // every press on the chips opens the popup
    QList<int> picked{0, 1, 2};
    QStringList left = stores;
    if (removed) {
        picked.removeAt(chip);
        left.removeAt(chip);
    }
    QCOMPARE(box.currentIndex(), picked);
    QCOMPARE(chipTexts(box), left);
    QCOMPARE(checkState(box, chip), removed ? Qt::Unchecked : Qt::Checked);
}

void TestMultiSelectComboBox::pressWhilePopupOpen()
{
    MultiSelectComboBox box;
    fillShown(box);
    box.showPopup();
    QTRY_VERIFY(popupOpen(box));
    QWidget* frame = box.view()->parentWidget();
    QListView* chips = chipView(box);

    // While the popup is open it receives every press; one on the last
    // chip's corner mark removes it and keeps the popup open.
    const QRect last = chips->visualRect(chips->model()->index(2, 0));
    const QPoint globalMark = chips->viewport()->mapToGlobal(last.topLeft() + QPoint(3, 3));
    QTest::mousePress(frame, Qt::LeftButton, Qt::NoModifier, frame->mapFromGlobal(globalMark));
    QCOMPARE(box.currentIndex(), QList<int>({0, 1}));
    QVERIFY(popupOpen(box));

    // A press outside the popup and the chips closes it and picks nothing.
    const QRect frameRect(frame->mapToGlobal(QPoint(0, 0)), frame->size());
    const QRect chipRect(chips->viewport()->mapToGlobal(QPoint(0, 0)), chips->viewport()->size());
    const QPoint outside = frameRect.united(chipRect).bottomRight() + QPoint(30, 30);
    QTest::mousePress(frame, Qt::LeftButton, Qt::NoModifier, frame->mapFromGlobal(outside));
    QTRY_VERIFY(!popupOpen(box));
    QCOMPARE(box.currentIndex(), QList<int>({0, 1}));

    // Opening it again clears the close flag: a plain hide request is ignored.
    box.showPopup();
    QTRY_VERIFY(popupOpen(box));
    box.hidePopup();
    QVERIFY(popupOpen(box));
}

void TestMultiSelectComboBox::wheelChangesNothing()
{
    MultiSelectComboBox box;
    box.resize(400, 40);
    box.addItems(kStores);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const int before = static_cast<QComboBox&>(box).currentIndex();
    for (int delta : {-120, 120, -120}) {
        QWheelEvent wheel(QPointF(5, 5), QPointF(box.mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&box, &wheel);
    }
    QCOMPARE(static_cast<QComboBox&>(box).currentIndex(), before);
    QVERIFY(box.currentIndex().isEmpty());
}

QTEST_MAIN(TestMultiSelectComboBox)
#include "tst_multiselectcombobox.moc"

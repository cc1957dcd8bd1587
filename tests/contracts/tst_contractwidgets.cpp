#include "contracts/ContractEntryDialog.h"
#include "contracts/ContractRegister.h"
#include "contracts/ContractRegisterServices.h"
#include "contracts/ContractRegisterWindow.h"
#include "contracts/MultiRowHeaderView.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "support/CommitCounter.h"
#include "support/RegisterServices.h"
#include "support/TempAppFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
const QString Sales = u"00010001"_s;
const QDateTime Feb15(QDate(2012, 2, 15), QTime(9, 30));

void sendMouse(QWidget *to, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(to->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}
} // namespace

class TestContractWidgets : public QObject {
    Q_OBJECT

    void addSalesIndicators() {
        TempAppFolder &f = *mFolder;
        QVERIFY(f.addIndicator(Sales, u"单价"_s, 1, u"Data2"_s, 1, QString(), u"99999999999.99"_s) > 0);
        QVERIFY(f.addIndicator(Sales, u"数量"_s, 1, u"Data3"_s, 2) > 0);
        QVERIFY(f.addIndicator(Sales, u"金额|合计"_s, 1, u"Data4"_s, 3, u"[单价]*[数量]"_s, u"99999999999.99"_s) > 0);
        QVERIFY(f.addIndicator(Sales, u"金额|大写"_s, 0, u"Data5"_s, 4, u"[MONEY_STOB][金额|合计]"_s) > 0);
        QVERIFY(f.addIndicator(Sales, u"签订日期"_s, 2, u"Data6"_s, 5, QString(), u"yyyy-MM-dd"_s) > 0);
        QVERIFY(f.addIndicator(Sales, u"甲方"_s, 0, u"Data1"_s, 6) > 0);
    }

    template <typename T> T *child(QWidget *w, const QString &name) {
        T *found = w->findChild<T *>(name);
        [&] { QVERIFY2(found, qPrintable(name)); }();
        return found;
    }

    void showActive(QWidget *w) {
        w->show();
        QApplication::setActiveWindow(w);
        [&] { QVERIFY(QTest::qWaitForWindowActive(w)); }();
    }

private Q_SLOTS:
    void init() {
        mFolder = std::make_unique<TempAppFolder>();
        QVERIFY(mFolder->isValid());
        QVERIFY(mFolder->addCategoryTree({{Sales, u"购销合同"_s}}, u"买卖类"_s));
        mMessages.clear();
        Messages::setInstance(&mMessages);
        Clock::setInstance(&mClock);
    }
    void cleanup() { mFolder.reset(); }

    void typingFillsFormulasThroughTheEditors() {
        addSalesIndicators();
        ContractEntryDialog dialog(mFolder->database(), -1, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        auto *edit = child<QLineEdit>(&dialog, u"EditCell"_s);
        QVERIFY(edit->isVisible());
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->inputMask(), u"00000000000.00"_s);

        QTest::keyClicks(edit, u"12.5"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        const ContractEntryGrid &g = dialog.entry().grid();
        QCOMPARE(g.value(0), u"12.50"_s);
        QCOMPARE(g.value(2), u"0.00"_s);
        QCOMPARE(dialog.currentRow(), 1);
        QVERIFY(edit->hasFocus());
        QTest::keyClicks(edit, u"4"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(g.value(2), u"50.00"_s);
        QCOMPARE(g.value(3), u"伍拾"_s);

        // The computed row shows its value in the editor and keeps it when left untouched.
        QCOMPARE(dialog.currentRow(), 2);
        QCOMPARE(edit->text(), u"50.00"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(g.value(2), u"50.00"_s);

        // Text row: no formula; date row: the picker.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.currentRow(), 4);
        auto *date = child<QDateTimeEdit>(&dialog, u"dtDate"_s);
        QVERIFY(date->isVisible());
        QVERIFY(!edit->isVisible());
        QCOMPARE(date->date(), QDate(2012, 2, 15));
        QTest::keyClick(date, Qt::Key_Return);
        QCOMPARE(g.value(4), u"2012-02-15"_s);

        // Enter on the last row neither moves nor commits; the save button's click does.
        QCOMPARE(dialog.currentRow(), 5);
        QTest::keyClicks(edit, u"ACME"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.currentRow(), 5);
        QCOMPARE(g.value(5), QString());
        QTest::mouseClick(child<QPushButton>(&dialog, u"cmdSave"_s), Qt::LeftButton);
        QVERIFY(!dialog.entry().cancelled());
        QCOMPARE(mFolder->scalar(u"SELECT Data2||'/'||Data3||'/'||Data4||'/'||Data1 FROM TContractMain"_s),
                 u"12.50/4/50.00/ACME"_s);
    }

    void storedAmountKeepsBothSidesOfThePoint() {
        addSalesIndicators();
        QVERIFY(mFolder->exec(u"INSERT INTO TContractMain (MainTypeCode,Data2,Data3) VALUES (?,'1250.50','-3')"_s,
                              {Sales}));
        const int id = mFolder->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntryDialog dialog(mFolder->database(), id, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        auto *edit = child<QLineEdit>(&dialog, u"EditCell"_s);
        QCOMPARE(edit->text(), u"1250.50"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.entry().grid().value(0), u"1250.50"_s);
        // A value the mask cannot hold is edited without it and survives a visit.
        QCOMPARE(edit->inputMask(), QString());
        QCOMPARE(edit->text(), u"-3"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.entry().grid().value(1), u"-3"_s);
    }

    // Passing through rows with Enter changes nothing the user did not change.
    void visitingRowsKeepsStoredValues() {
        QVERIFY(mFolder->addIndicator(Sales, u"数量"_s, 1, u"Data1"_s, 1) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"签订日期"_s, 2, u"Data2"_s, 2, QString(), u"yyyy-MM-dd"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"交货日期"_s, 2, u"Data3"_s, 3, QString(), u"yyyy-MM-dd"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"单价"_s, 1, u"Data4"_s, 4, QString(), u"99999999999.99"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"日期大写"_s, 0, u"Data5"_s, 5, u"[DATE_STOB][签订日期]"_s) > 0);
        QVERIFY(mFolder->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data2,Data3,Data4,Data5) "
                              u"VALUES (?,'1250.5','2012-3-8','明年春天','7.5','手写')"_s,
                              {Sales}));
        const int id = mFolder->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntryDialog dialog(mFolder->database(), id, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        auto *edit = child<QLineEdit>(&dialog, u"EditCell"_s);
        auto *date = child<QDateTimeEdit>(&dialog, u"dtDate"_s);
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(dialog.currentRow(), row);
            QWidget *editor = row == 1 || row == 2 ? static_cast<QWidget *>(date) : edit;
            QVERIFY(editor->hasFocus());
            if (row == 2) {
                // The unreadable text is shown as it stands, not the date of the row before.
                QCOMPARE(date->text(), u"明年春天"_s);
                QVERIFY(date->date() != QDate(2012, 3, 8));
            }
            QTest::keyClick(editor, Qt::Key_Return);
        }
        QTest::mouseClick(child<QPushButton>(&dialog, u"cmdSave"_s), Qt::LeftButton);
        QVERIFY(!dialog.entry().cancelled());
        QVERIFY(mMessages.shown().isEmpty());
        QCOMPARE(mFolder->scalar(u"SELECT Data1||'/'||Data2||'/'||Data3||'/'||Data4||'/'||Data5 FROM TContractMain "
                                 u"WHERE ID=?"_s,
                                 {id}),
                 u"1250.5/2012-3-8/明年春天/7.5/手写"_s);
    }

    void editingAnUnreadableDateTellsTheUser() {
        QVERIFY(mFolder->addIndicator(Sales, u"签订日期"_s, 2, u"Data1"_s, 1, QString(), u"yyyy-MM-dd"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"甲方"_s, 0, u"Data2"_s, 2) > 0);
        QVERIFY(mFolder->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1) VALUES (?,'明年春天')"_s, {Sales}));
        const int id = mFolder->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntryDialog dialog(mFolder->database(), id, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        auto *date = child<QDateTimeEdit>(&dialog, u"dtDate"_s);
        QVERIFY(date->hasFocus());
        QTest::keyClick(date, Qt::Key_Up);
        QCOMPARE(mMessages.texts(), QStringList{u"指标“签订日期”原有的内容“明年春天”不是有效的日期。\n"
                                                u"原内容保持不变；如需改为日期，请在日期框中选择新的日期。"_s});
        // Now the picker starts from today; leaving it untouched still keeps the stored text.
        QCOMPARE(date->date(), Feb15.date());
        QTest::keyClick(date, Qt::Key_Return);
        QCOMPARE(dialog.entry().grid().value(0), u"明年春天"_s);
        // A date the user picks replaces it.
        dialog.setCurrentRow(0);
        QTest::keyClick(date, Qt::Key_Up);
        QCOMPARE(mMessages.shown().size(), 2);
        date->setDate(QDate(2012, 3, 1));
        QTest::keyClick(date, Qt::Key_Return);
        QCOMPARE(dialog.entry().grid().value(0), u"2012-03-01"_s);
    }

    void draggingAColumnBorderWritesOnce() {
        addSalesIndicators();
        QMdiArea area;
        area.resize(1000, 600);
        area.show();
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        auto *mag = qobject_cast<ContractRegisterWindow *>(area.subWindowList().first()->widget());
        auto *tree = child<QTreeView>(mag, u"Tree"_s);
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        mag->showCurrentCategory();
        QHeaderView *header = mag->gridHeader();
        QWidget *viewport = header->viewport();
        const QPoint start(header->sectionViewportPosition(2) + header->sectionSize(2) - 1, header->height() / 2);
        CommitCounter commits;
        sendMouse(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 100; ++step)
            sendMouse(viewport, QEvent::MouseMove, start + QPoint(step, 0), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(mag->grid()->columnWidth(2), 200);
        QCOMPARE(commits.count(), 0);
        sendMouse(viewport, QEvent::MouseButtonRelease, start + QPoint(100, 0), Qt::LeftButton, Qt::NoButton);
        commits.stop();
        QCOMPARE(commits.count(), 1);
        QCOMPARE(
            mFolder->scalar(u"SELECT group_concat(ColWidth) FROM (SELECT ColWidth FROM TDataPara ORDER BY SortIdx)"_s),
            u"100,200,100,100,100,100"_s);
    }

    void widthsOfADragGoToTheCategoryDragged() {
        addSalesIndicators();
        const QString lease = u"00010002"_s;
        QVERIFY(mFolder->addCategory(lease, u"租赁合同"_s, u"0001"_s));
        QVERIFY(mFolder->addIndicator(lease, u"承租人"_s, 0, u"Data2"_s, 1) > 0);
        QMdiArea area;
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        auto *mag = qobject_cast<ContractRegisterWindow *>(area.subWindowList().first()->widget());
        auto *tree = child<QTreeView>(mag, u"Tree"_s);
        const QModelIndex root = tree->model()->index(0, 0);
        auto node = [&](const QString &caption) {
            const QModelIndexList found =
                tree->model()->match(tree->model()->index(0, 0, root), Qt::DisplayRole, caption, 1, Qt::MatchExactly);
            return found.value(0);
        };
        tree->setCurrentIndex(node(u"购销合同"_s));
        mag->showCurrentCategory();
        QWidget *viewport = mag->gridHeader()->viewport();
        const QPoint start(mag->gridHeader()->sectionViewportPosition(1) + mag->gridHeader()->sectionSize(1) - 1, 5);
        sendMouse(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        sendMouse(viewport, QEvent::MouseMove, start + QPoint(30, 0), Qt::NoButton, Qt::LeftButton);
        // The other category is chosen while the button is still held.
        tree->setCurrentIndex(node(u"租赁合同"_s));
        mag->showCurrentCategory();
        QCOMPARE(mag->contractRegister().currentCategory(), lease);
        sendMouse(viewport, QEvent::MouseButtonRelease, start + QPoint(30, 0), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(
            mFolder->scalar(u"SELECT ColWidth FROM TDataPara WHERE MainTypeCode=? AND DataFieldA='Data2'"_s, {Sales}),
            u"130"_s);
        QCOMPARE(
            mFolder->scalar(u"SELECT ColWidth FROM TDataPara WHERE MainTypeCode=? AND DataFieldA='Data2'"_s, {lease}),
            u"100"_s);
    }

    void clickingAnotherRowCommitsToTheRowLeft() {
        addSalesIndicators();
        ContractEntryDialog dialog(mFolder->database(), -1, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        auto *edit = child<QLineEdit>(&dialog, u"EditCell"_s);
        QTest::keyClicks(edit, u"3"_s);
        auto *grid = child<QTableView>(&dialog, u"Grid"_s);
        const QRect target = grid->visualRect(dialog.entry().grid().index(5, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, target.center());
        QCOMPARE(dialog.entry().grid().value(0), u"3.00"_s);
        QCOMPARE(dialog.entry().grid().value(5), QString());
        QCOMPARE(dialog.currentRow(), 5);
        QVERIFY(edit->isVisible());
        QCOMPARE(edit->inputMask(), QString());
    }

    void movingOnCommitsOnlyTheRowLeft() {
        QVERIFY(mFolder->addIndicator(Sales, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"单价"_s, 1, u"Data2"_s, 2, QString(), u"99999999999.99"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"金额"_s, 1, u"Data3"_s, 3, u"[单价]*2"_s, u"99999999999.99"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"签订日期"_s, 2, u"Data4"_s, 4, QString(), u"yyyy-MM-dd"_s) > 0);
        QVERIFY(mFolder->addIndicator(Sales, u"日期大写"_s, 0, u"Data5"_s, 5, u"[DATE_STOB][签订日期]"_s) > 0);
        QVERIFY(mFolder->exec(u"UPDATE TDataPara SET DefaultSelect='甲;乙;' WHERE DataFieldA='Data1'"_s));
        ContractEntryDialog dialog(mFolder->database(), -1, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        auto *combo = child<QComboBox>(&dialog, u"cmbCell"_s);
        QVERIFY(combo->isVisible());
        QCOMPARE(combo->count(), 2);
        combo->setCurrentIndex(1);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        const ContractEntryGrid &g = dialog.entry().grid();
        QCOMPARE(g.value(0), u"乙"_s);
        QCOMPARE(dialog.currentRow(), 1);
        // The number row now under the editor is not committed by the combo's leaving.
        QCOMPARE(g.value(1), QString());
        QCOMPARE(g.value(2), QString());
        // Neither is the date row when the program moves there.
        dialog.setCurrentRow(3);
        QCOMPARE(g.value(1), u"0.00"_s);
        QCOMPARE(g.value(2), u"0.00"_s);
        QCOMPARE(g.value(3), QString());
        QCOMPARE(g.value(4), QString());
        QVERIFY(child<QDateTimeEdit>(&dialog, u"dtDate"_s)->hasFocus());
    }

    void requiredRowGetsTheEditor() {
        addSalesIndicators();
        QVERIFY(mFolder->exec(u"UPDATE TDataPara SET NoNull=1 WHERE PropertyName='甲方'"_s));
        ContractEntryDialog dialog(mFolder->database(), -1, Sales);
        QVERIFY(dialog.load());
        showActive(&dialog);
        dialog.save();
        QCOMPARE(mMessages.lastText(), u"扩展参数：甲方必须填写字段！"_s);
        QCOMPARE(dialog.currentRow(), 5);
        QVERIFY(dialog.entry().cancelled());
        QCOMPARE(mFolder->scalar(u"SELECT count(*) FROM TContractMain"_s), u"0"_s);
    }

    void registerListsFiltersAndStoresWidths() {
        addSalesIndicators();
        for (const QString &buyer : {u"Alpha公司"_s, u"beta"_s, u"ALPHA厂"_s})
            QVERIFY(mFolder->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data4) VALUES (?,?,'9.00')"_s,
                                  {Sales, buyer}));
        QMdiArea area;
        area.resize(1000, 600);
        area.show();
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        QCOMPARE(area.subWindowList().size(), 1);
        auto *mag = qobject_cast<ContractRegisterWindow *>(area.subWindowList().first()->widget());
        QVERIFY(mag);
        QVERIFY(area.subWindowList().first()->isMaximized());
        auto *box = child<QGroupBox>(mag, u"recordBox"_s);
        QCOMPARE(box->title(), u"分类XX下的合同列表"_s);
        QCOMPARE(mag->grid()->model()->rowCount(), 0);

        auto *tree = child<QTreeView>(mag, u"Tree"_s);
        const QModelIndex root = tree->model()->index(0, 0);
        tree->expand(root);
        const QModelIndex leaf = tree->model()->index(0, 0, root);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(leaf).center());
        QCOMPARE(box->title(), u"合同分类 [购销合同] 的合同内容："_s);
        QCOMPARE(mag->grid()->model()->rowCount(), 3);
        QCOMPARE(mag->grid()->columnWidth(0), 35);
        // The two 金额 titles share their upper cell.
        MultiRowHeaderView *header = mag->gridHeader();
        QCOMPARE(header->levelCount(), 2);
        QCOMPARE(header->spanAt(3, 0), qMakePair(3, 4));
        QCOMPARE(header->cellText(4, 1), u"大写"_s);
        QCOMPARE(header->spanAt(1, 0), qMakePair(1, 1));
        QVERIFY(header->height() > 2 * header->fontMetrics().height());
        // Building the grid stored no width.
        QCOMPARE(mFolder->scalar(u"SELECT count(*) FROM TDataPara WHERE ColWidth<>100"_s), u"0"_s);

        mag->grid()->setColumnWidth(2, 150);
        QCOMPARE(
            mFolder->scalar(u"SELECT group_concat(ColWidth) FROM (SELECT ColWidth FROM TDataPara ORDER BY SortIdx)"_s),
            u"100,150,100,100,100,100"_s);

        auto *property = child<QComboBox>(mag, u"cmbPropertyName"_s);
        auto *value = child<QComboBox>(mag, u"cmbValue"_s);
        property->setCurrentIndex(5);
        Q_EMIT property->activated(5);
        value->lineEdit()->setText(u"alpha"_s);
        QTest::keyClick(value->lineEdit(), Qt::Key_Return);
        QCOMPARE(mag->grid()->model()->rowCount(), 2);
        mag->showCurrentCategory();
        QCOMPARE(mag->grid()->model()->rowCount(), 2);
        QCOMPARE(property->currentIndex(), -1);

        child<QPushButton>(mag, u"closeButton"_s)->click();
        QTRY_COMPARE(area.subWindowList().size(), 0);
    }

    void registerCallsTheOtherWindows() {
        addSalesIndicators();
        QVERIFY(mFolder->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1) VALUES (?,'x')"_s, {Sales}));
        const int id = mFolder->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        QStringList calls;
        ContractRegisterServices services = registerServicesForTest();
        services.editDocument = [&](const QString &category, const QString &path, int record) {
            calls << category + u" "_s + path + u" "_s + QString::number(record);
            return true;
        };
        services.loadIn = [&](const QString &category) {
            calls << u"import "_s + category;
            // The import appends a record; the register reads again afterwards.
            return mFolder->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1) VALUES (?,'y')"_s, {category});
        };
        services.previewGrid = [&](const QString &title, QTableView *grid) {
            calls << title + u" "_s + QString::number(grid->model()->rowCount());
            return true;
        };
        QMdiArea area;
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), services));
        auto *mag = qobject_cast<ContractRegisterWindow *>(area.subWindowList().first()->widget());
        auto *tree = child<QTreeView>(mag, u"Tree"_s);
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        mag->showCurrentCategory();
        QCOMPARE(mag->grid()->model()->rowCount(), 1);
        child<QPushButton>(mag, u"documentButton"_s)->click();
        Q_EMIT mag->grid()->doubleClicked(mag->grid()->model()->index(0, 1));
        child<QPushButton>(mag, u"importButton"_s)->click();
        QCOMPARE(mag->grid()->model()->rowCount(), 2);
        child<QPushButton>(mag, u"printButton"_s)->click();
        const QString doc = Sales + u" "_s + mFolder->file(u"DB/ContractFile/"_s) + QString::number(id) + u".Doc "_s +
                            QString::number(id);
        QCOMPARE(calls, (QStringList{doc, doc, u"import "_s + Sales, u"合同生成与维护 2"_s}));
    }

    void registerButtonsWithoutRecords() {
        QMdiArea area;
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        auto *mag = qobject_cast<ContractRegisterWindow *>(area.subWindowList().first()->widget());
        child<QPushButton>(mag, u"cmdEdit"_s)->click();
        child<QPushButton>(mag, u"documentButton"_s)->click();
        child<QPushButton>(mag, u"deleteDocumentButton"_s)->click();
        child<QPushButton>(mag, u"copyButton"_s)->click();
        child<QPushButton>(mag, u"importButton"_s)->click();
        // Adding before a child category was chosen: the dialog finds no indicators and nothing happens.
        child<QPushButton>(mag, u"cmdAppend"_s)->click();
        QCOMPARE(
            mMessages.texts(),
            (QStringList{u"没有可用于编辑的合同数据记录！"_s, u"没有可用于生成或查看的合同数据记录！"_s,
                         u"没有可用于删除的合同数据！"_s, u"没有可复制的记录！"_s, u"请首先选择一个合同数据分类！"_s}));
    }

private:
    std::unique_ptr<TempAppFolder> mFolder;
    ScriptedMessages mMessages;
    FixedClock mClock{Feb15};
};

QTEST_MAIN(TestContractWidgets)
#include "tst_contractwidgets.moc"

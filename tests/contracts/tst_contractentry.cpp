#include "contracts/ContractEntry.h"
#include "contracts/NumberMask.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "support/FolderTest.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString Category = u"00010001"_s;
const QDateTime Feb15(QDate(2012, 2, 15), QTime(9, 30));
} // namespace

class TestContractEntry : public FolderTest {
    Q_OBJECT

public:
    TestContractEntry()
        : FolderTest({{Category, u"买卖"_s}}) {}

private:
    // The worked category: numbering, price, quantity, amount, amount in words, date, date in words, a choice.
    void addSalesIndicators() {
        TempAppFolder &f = *mApp;
        QVERIFY(f.addIndicator(Category, u"合同编号"_s, 0, u"Data1"_s, 1, u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s) > 0);
        QVERIFY(f.addIndicator(Category, u"单价"_s, 1, u"Data2"_s, 2, QString(), u"99999999999.99"_s, u"元"_s) > 0);
        QVERIFY(f.addIndicator(Category, u"数量"_s, 1, u"Data3"_s, 3) > 0);
        QVERIFY(f.addIndicator(Category, u"金额"_s, 1, u"Data4"_s, 4, u"[单价]*[数量]"_s, u"99999999999.99"_s) > 0);
        QVERIFY(f.addIndicator(Category, u"金额大写"_s, 0, u"Data5"_s, 5, u"[MONEY_STOB][金额]"_s) > 0);
        QVERIFY(f.addIndicator(Category, u"签订日期"_s, 2, u"Data6"_s, 6, QString(), u"yyyy-MM-dd"_s) > 0);
        QVERIFY(f.addIndicator(Category, u"日期大写"_s, 0, u"Data7"_s, 7, u"[DATE_STOB][签订日期]"_s) > 0);
        QVERIFY(f.addIndicator(Category, u"甲方"_s, 0, u"Data75"_s, 8) > 0);
        QVERIFY(f.exec(u"UPDATE TDataPara SET NoNull=1 WHERE PropertyName IN ('甲方','签订日期')"_s));
    }

    void initFolder() override { Clock::setInstance(&mClock); }

private Q_SLOTS:

    void roadOfANewRecord() {
        addSalesIndicators();
        ContractEntry e(mApp->database(), -1, Category);
        QAbstractItemModelTester tester(&e.grid(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(e.load());
        ContractEntryGrid &g = e.grid();
        QCOMPARE(g.rows(), 8);
        QCOMPARE(g.cell(1, ContractEntryGrid::ColType), u"数值"_s);
        QCOMPARE(g.value(0), u"C201202150001"_s);
        for (int r = 1; r < g.rows(); ++r)
            QCOMPARE(g.value(r), QString());

        QCOMPARE(e.editorFor(1), ContractEntry::Editor::Number);
        QCOMPARE(e.inputMaskFor(1), u"00000000000.00"_s);
        QVERIFY(e.commitNumber(1, u"12.5          "_s));
        QCOMPARE(g.value(1), u"12.50"_s);
        QCOMPARE(g.value(3), u"0.00"_s);
        QCOMPARE(g.value(4), u"零"_s);
        QVERIFY(e.commitNumber(2, u"4"_s));
        QCOMPARE(g.value(3), u"50.00"_s);
        QCOMPARE(g.value(4), u"伍拾"_s);
        e.commitDate(5, QDateTime(QDate(2012, 2, 15), QTime(0, 0)));
        QCOMPARE(g.value(5), u"2012-02-15"_s);
        QCOMPARE(g.value(6), u"二○一二年二月十五日"_s);

        bool saved = true;
        QCOMPARE(e.checkAndSave(&saved), 7);
        QVERIFY(!saved);
        QVERIFY(e.cancelled());
        QCOMPARE(mMessages.lastText(), u"扩展参数：甲方必须填写字段！"_s);
        e.commitText(7, u"某某公司"_s);
        QCOMPARE(e.checkAndSave(&saved), -1);
        QVERIFY(saved);
        QVERIFY(!e.cancelled());

        const QString id = mApp->scalar(u"SELECT ID FROM TContractMain WHERE MainTypeCode=?"_s, {Category});
        QCOMPARE(id.toInt(), e.contractId());
        QCOMPARE(mApp->scalar(u"SELECT Data1||'|'||Data4||'|'||Data5||'|'||Data75 FROM TContractMain"_s),
                 u"C201202150001|50.00|伍拾|某某公司"_s);

        // Editing it computes no number and keeps every value.
        ContractEntry again(mApp->database(), e.contractId(), Category);
        QVERIFY(again.load());
        QCOMPARE(again.grid().value(0), u"C201202150001"_s);
        QCOMPARE(again.grid().value(6), u"二○一二年二月十五日"_s);
        ContractEntry next(mApp->database(), -1, Category);
        QVERIFY(next.load());
        QCOMPARE(next.grid().value(0), u"C201202150002"_s);
    }

    void categoryWithoutIndicatorsDoesNotOpen() {
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(!e.load());
        ContractEntry none(mApp->database(), -1, QString());
        QVERIFY(!none.load());
        QVERIFY(mMessages.shown().isEmpty());
    }

    void committingEmptyNumberAndDateRows() {
        addSalesIndicators();
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        // An untouched masked entry holds only blanks and the point.
        QVERIFY(e.commitNumber(1, u"           .  "_s));
        QCOMPARE(e.grid().value(1), u"0.00"_s);
        QVERIFY(e.commitNumber(2, u"          "_s));
        QCOMPARE(e.grid().value(2), u"0"_s);
        QCOMPARE(e.grid().value(3), u"0.00"_s);
        e.commitDate(5, mClock.now());
        QCOMPARE(e.grid().value(5), u"2012-02-15"_s);
        QCOMPARE(e.grid().value(6), u"二○一二年二月十五日"_s);
    }

    void numberThatIsNoNumberIsNotWritten() {
        addSalesIndicators();
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        e.grid().setValue(1, u"3.00"_s);
        QVERIFY(!e.commitNumber(1, u"12a"_s));
        QCOMPARE(e.grid().value(1), u"3.00"_s);
        QCOMPARE(mMessages.shown().size(), 1);
    }

    void maskKeepsStoredDigits_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("qtMask");
        QTest::newRow("1250.50") << u"99999999999.99"_s << u"1250.50"_s << u"00000000000.00"_s;
        QTest::newRow("default mask") << QString() << u"1250"_s << u"0000000000"_s;
        QTest::newRow("negative result") << u"99999999999.99"_s << u"-5.00"_s << QString();
        QTest::newRow("more decimals") << u"99999999999.99"_s << u"1.125"_s << QString();
        QTest::newRow("decimals into whole mask") << QString() << u"2.5"_s << QString();
        QTest::newRow("literal escaped") << u"999-99"_s << QString() << u"000-00"_s;
        QTest::newRow("Qt special literal") << u"99A9"_s << QString() << u"00\\A0"_s;
    }
    void maskKeepsStoredDigits() {
        QFETCH(QString, format);
        QFETCH(QString, value);
        QFETCH(QString, qtMask);
        QVERIFY(mApp->addIndicator(Category, u"数"_s, 1, u"Data1"_s, 1, QString(), format) > 0);
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        e.grid().setValue(0, value);
        QCOMPARE(e.inputMaskFor(0), qtMask);
    }

    void enterOnLastRow() {
        addSalesIndicators();
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        QCOMPARE(e.rowAfterEnter(0), 1);
        QCOMPARE(e.rowAfterEnter(7), -1);
    }

    void defaultSelectSplits_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("closing separator") << u"甲;乙;"_s << QStringList{u"甲"_s, u"乙"_s};
        QTest::newRow("adjacent separators") << u"甲;;乙"_s << QStringList{u"甲"_s, QString(), u"乙"_s};
        QTest::newRow("one item") << u"甲"_s << QStringList{u"甲"_s};
        QTest::newRow("only separator") << u";"_s << QStringList{QString()};
    }
    void defaultSelectSplits() {
        QFETCH(QString, list);
        QFETCH(QStringList, items);
        QCOMPARE(ContractEntry::splitDefaultSelect(list), items);
    }

    void pickListsAndHistory() {
        QVERIFY(mApp->addIndicator(Category, u"选项"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mApp->addIndicator(Category, u"历史"_s, 0, u"Data2"_s, 2) > 0);
        QVERIFY(mApp->addIndicator(Category, u"两者"_s, 0, u"Data3"_s, 3) > 0);
        QVERIFY(mApp->addIndicator(Category, u"普通"_s, 0, u"Data4"_s, 4) > 0);
        QVERIFY(mApp->exec(u"UPDATE TDataPara SET DefaultSelect='甲;乙;' WHERE DataFieldA IN ('Data1','Data3')"_s));
        QVERIFY(mApp->exec(u"UPDATE TDataPara SET HisSelect=1 WHERE DataFieldA IN ('Data2','Data3')"_s));
        for (const QString &v : {u"北京"_s, QString(), u"上海"_s, u"北京"_s})
            QVERIFY(mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data2) VALUES (?,?)"_s, {Category, v}));
        QVERIFY(mApp->addCategory(u"00010002"_s, u"其他"_s, u"0001"_s));
        QVERIFY(mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data2) VALUES ('00010002','广州')"_s));

        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        QCOMPARE(e.editorFor(0), ContractEntry::Editor::Combo);
        QCOMPARE(e.defaultItems(0), (QStringList{u"甲"_s, u"乙"_s}));
        QCOMPARE(e.editorFor(1), ContractEntry::Editor::Combo);
        QVERIFY(e.offersHistory(1));
        QStringList items{u"旧"_s};
        e.fillHistory(1, items);
        QCOMPARE(items, (QStringList{u"上海"_s, u"北京"_s}));
        // With both set the preset list is offered.
        QVERIFY(!e.offersHistory(2));
        QCOMPARE(e.defaultItems(2), (QStringList{u"甲"_s, u"乙"_s}));
        QCOMPARE(e.editorFor(3), ContractEntry::Editor::Text);
    }

    void twoRequiredRows() {
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mApp->addIndicator(Category, u"乙方"_s, 0, u"Data2"_s, 2) > 0);
        QVERIFY(mApp->exec(u"UPDATE TDataPara SET NoNull=1"_s));
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        bool saved = false;
        QCOMPARE(e.checkAndSave(&saved), 0);
        QCOMPARE(mMessages.texts(), QStringList{u"扩展参数：甲方必须填写字段！"_s});
        e.commitText(0, u"甲"_s);
        QCOMPARE(e.checkAndSave(&saved), 1);
        QCOMPARE(mMessages.lastText(), u"扩展参数：乙方必须填写字段！"_s);
        QVERIFY(!saved);
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain"_s), u"0"_s);
    }

    void recordDeletedMeanwhileIsSavedAsNew() {
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(
            mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data9) VALUES (?,'旧','其他')"_s, {Category}));
        const int id = mApp->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntry e(mApp->database(), id, Category);
        QVERIFY(e.load());
        QCOMPARE(e.grid().value(0), u"旧"_s);
        QVERIFY(mApp->exec(u"DELETE FROM TContractMain WHERE ID=?"_s, {id}));
        e.commitText(0, u"新"_s);
        bool saved = false;
        e.checkAndSave(&saved);
        QVERIFY(saved);
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain WHERE MainTypeCode=? AND Data1='新'"_s, {Category}),
                 u"1"_s);
        QVERIFY(e.contractId() != id);
    }

    // Another program stores the number this dialog offered before this one saves.
    void numberStoredMeanwhileIsReplaced() {
        QVERIFY(mApp->addIndicator(Category, u"合同编号"_s, 0, u"Data1"_s, 1, u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s) >
                0);
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data2"_s, 2) > 0);
        ContractEntry first(mApp->database(), -1, Category);
        ContractEntry second(mApp->database(), -1, Category);
        ContractEntry typed(mApp->database(), -1, Category);
        QVERIFY(first.load() && second.load() && typed.load());
        QCOMPARE(second.grid().value(0), u"C201202150001"_s);
        QVERIFY(first.save());
        QVERIFY(mMessages.shown().isEmpty());

        QVERIFY(second.save());
        QCOMPARE(mMessages.texts(), QStringList{u"合同编号已被其他用户使用，本合同的编号改为：C201202150002"_s});
        QCOMPARE(second.grid().value(0), u"C201202150002"_s);
        // A number the user typed himself is his to keep.
        typed.commitText(0, u"C201202150002"_s);
        mMessages.clear();
        QVERIFY(typed.save());
        QVERIFY(mMessages.shown().isEmpty());
        QCOMPARE(mApp->joined(u"SELECT Data1 FROM TContractMain ORDER BY ID"_s),
                 u"C201202150001,C201202150002,C201202150002"_s);
    }

    // The number offered was stored meanwhile and the next one cannot be made (the greatest stored value was typed
    // by hand and has no serial): the save stops instead of storing the number twice.
    void takenNumberWithoutANextOneIsNotStoredTwice() {
        QVERIFY(mApp->addIndicator(Category, u"合同编号"_s, 0, u"Data1"_s, 1, u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s) >
                0);
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data2"_s, 2) > 0);
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        QCOMPARE(e.grid().value(0), u"C201202150001"_s);
        for (const QString &other : {u"C201202150001"_s, u"C20120215补"_s})
            QVERIFY(mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1) VALUES (?,?)"_s, {Category, other}));
        e.commitText(1, u"甲"_s);
        bool saved = true;
        e.checkAndSave(&saved);
        QVERIFY(!saved);
        QCOMPARE(mMessages.texts(), QStringList{u"合同编号“C201202150001”已被其他用户使用，无法确定下一个合同编号，"
                                                u"本合同没有保存。\n请修改合同编号后再保存。"_s});
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain WHERE Data1='C201202150001'"_s), u"1"_s);
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain"_s), u"2"_s);
        // A number the user gives himself is saved.
        e.commitText(0, u"C201202150009"_s);
        mMessages.clear();
        QVERIFY(e.save());
        QVERIFY(mMessages.shown().isEmpty());
        QCOMPARE(mApp->scalar(u"SELECT Data2 FROM TContractMain WHERE Data1='C201202150009'"_s), u"甲"_s);
    }

    void changeByAnotherUserIsNotOverwritten_data() {
        QTest::addColumn<bool>("reload");
        QTest::newRow("reload their values") << true;
        QTest::newRow("keep mine") << false;
    }
    void changeByAnotherUserIsNotOverwritten() {
        QFETCH(bool, reload);
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mApp->addIndicator(Category, u"乙方"_s, 0, u"Data2"_s, 2) > 0);
        QVERIFY(
            mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data2) VALUES (?,'旧甲','旧乙')"_s, {Category}));
        const int id = mApp->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntry mine(mApp->database(), id, Category);
        QVERIFY(mine.load());
        // The other program.
        QVERIFY(mApp->exec(u"UPDATE TContractMain SET Data2='他人的乙' WHERE ID=?"_s, {id}));
        mine.commitText(0, u"我的甲"_s);
        mMessages.answerQuestion(reload);
        bool saved = true;
        QCOMPARE(mine.checkAndSave(&saved), -1);
        QVERIFY(!saved);
        QVERIFY(mMessages.lastText().startsWith(u"这份合同已被其他用户修改。"_s));
        QCOMPARE(mApp->scalar(u"SELECT Data1||'|'||Data2 FROM TContractMain WHERE ID=?"_s, {id}), u"旧甲|他人的乙"_s);
        if (reload) {
            QCOMPARE(mine.grid().value(0), u"旧甲"_s);
            QCOMPARE(mine.grid().value(1), u"他人的乙"_s);
            return;
        }
        QCOMPARE(mine.grid().value(0), u"我的甲"_s);
        // Told once, the user may write his own values deliberately.
        mMessages.clear();
        QVERIFY(mine.save());
        QVERIFY(mMessages.shown().isEmpty());
        QCOMPARE(mApp->scalar(u"SELECT Data1||'|'||Data2 FROM TContractMain WHERE ID=?"_s, {id}), u"我的甲|旧乙"_s);
    }

    void changeOutsideTheDialogsColumnsIsNoConflict() {
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1) VALUES (?,'旧')"_s, {Category}));
        const int id = mApp->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntry e(mApp->database(), id, Category);
        QVERIFY(e.load());
        QVERIFY(mApp->exec(u"UPDATE TContractMain SET Data9='他人' WHERE ID=?"_s, {id}));
        e.commitText(0, u"新"_s);
        QVERIFY(e.save());
        QCOMPARE(mApp->scalar(u"SELECT Data1||Data9 FROM TContractMain WHERE ID=?"_s, {id}), u"新他人"_s);
        QVERIFY(mMessages.shown().isEmpty());
    }

    void catalogueChangedByAnotherUser() {
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mApp->addIndicator(Category, u"乙方"_s, 0, u"Data2"_s, 2) > 0);
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        e.commitText(0, u"甲"_s);
        e.commitText(1, u"乙"_s);
        // An indicator deleted elsewhere: its column is no one's now, so its value is not written.
        QVERIFY(mApp->exec(u"DELETE FROM TDataPara WHERE PropertyName='乙方'"_s));
        QVERIFY(e.save());
        QCOMPARE(mMessages.texts(), QStringList{u"指标“乙方”已被其他用户删除，它们的数值没有保存。"_s});
        QCOMPARE(mApp->scalar(u"SELECT Data1||'|'||Data2 FROM TContractMain"_s), u"甲|"_s);

        // A record deleted elsewhere does not open for editing.
        mMessages.clear();
        QVERIFY(mApp->exec(u"DELETE FROM TContractMain"_s));
        ContractEntry gone(mApp->database(), e.contractId(), Category);
        QVERIFY(!gone.load());
        QCOMPARE(mMessages.texts(), QStringList{u"这份合同已被其他用户删除。"_s});

        // The whole category deleted elsewhere: nothing is written, the user is told.
        ContractEntry late(mApp->database(), -1, Category);
        QVERIFY(late.load());
        late.commitText(0, u"甲"_s);
        QVERIFY(mApp->exec(u"DELETE FROM TDataPara"_s));
        QVERIFY(mApp->exec(u"DELETE FROM TContractClass WHERE TypeCode=?"_s, {Category}));
        mMessages.clear();
        QVERIFY(!late.save());
        QCOMPARE(mMessages.texts(), QStringList{u"该合同分类已被其他用户删除，本合同不能保存。"_s});
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain"_s), u"0"_s);
        mMessages.clear();
        ContractEntry reopened(mApp->database(), -1, Category);
        QVERIFY(!reopened.load());
        QCOMPARE(mMessages.texts(), QStringList{u"该合同分类已被其他用户删除。"_s});
    }

    void editingKeepsColumnsOfNoIndicator() {
        QVERIFY(mApp->addIndicator(Category, u"甲方"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(
            mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data9) VALUES (?,'旧','其他')"_s, {Category}));
        const int id = mApp->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        ContractEntry e(mApp->database(), id, Category);
        QVERIFY(e.load());
        e.commitText(0, u"新"_s);
        QVERIFY(e.save());
        QCOMPARE(mApp->scalar(u"SELECT Data1||Data9 FROM TContractMain WHERE ID=?"_s, {id}), u"新其他"_s);
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain"_s), u"1"_s);
    }

    void rowOfUnknownTypeCannotBeEdited() {
        QVERIFY(mApp->addIndicator(Category, u"怪"_s, 7, u"Data1"_s, 1) > 0);
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        QCOMPARE(e.grid().cell(0, ContractEntryGrid::ColType), QString());
        QCOMPARE(e.editorFor(0), ContractEntry::Editor::None);
    }

    void dateRowWithoutFormat() {
        QVERIFY(mApp->addIndicator(Category, u"日期"_s, 2, u"Data1"_s, 1) > 0);
        ContractEntry e(mApp->database(), -1, Category);
        QVERIFY(e.load());
        QCOMPARE(QDate(2012, 2, 5).toString(e.pickerFormatFor(0)), u"2012-02-05"_s);
        e.commitDate(0, QDateTime(QDate(2012, 2, 15), QTime(0, 0)));
        const QString stored = e.grid().value(0);
        QVERIFY(!stored.isEmpty());
        QCOMPARE(e.storedDate(0).value_or(QDateTime()).date(), QDate(2012, 2, 15));
    }

private:
    FixedClock mClock{Feb15};
};

QTEST_GUILESS_MAIN(TestContractEntry)
#include "tst_contractentry.moc"

#include "contracts/ContractRegister.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "store/Database.h"
#include "support/CommitCounter.h"
#include "support/FolderTest.h"
#include "support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString Sales = u"00010001"_s;
const QString Lease = u"00010002"_s;
} // namespace

class TestContractRegister : public FolderTest {
    Q_OBJECT

public:
    TestContractRegister()
        : FolderTest({{Sales, u"买卖"_s}, {Lease, u"租赁"_s}}) {}

private:
    int addRecord(const QString &category, const QVariantList &data1to3, const QString &data75 = QString()) {
        [&] {
            QVERIFY(
                mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data2,Data3,Data75) VALUES (?,?,?,?,?)"_s,
                           QVariantList{category} + data1to3 + QVariantList{data75}));
        }();
        return mApp->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
    }
    QStringList column(ContractRecordModel *m, int c) {
        QStringList out;
        for (int r = 0; r < m->recordCount(); ++r)
            out.append(m->text(r, c));
        return out;
    }

    void initFolder() override {
        QVERIFY(mApp->addIndicator(Sales, u"名称"_s, 0, u"Data1"_s, 1) > 0);
        QVERIFY(mApp->addIndicator(Sales, u"金额|合计"_s, 1, u"Data2"_s, 2) > 0);
        QVERIFY(mApp->addIndicator(Sales, u"金额|税"_s, 1, u"Data3"_s, 3) > 0);
        QVERIFY(mApp->addIndicator(Lease, u"承租人"_s, 0, u"Data1"_s, 1) > 0);
        Clock::setInstance(&mClock);
    }

private Q_SLOTS:

    void columnsFollowTheIndicators() {
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        ContractRecordModel *m = reg.records();
        QCOMPARE(m->columnCount(), 4);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), u"编号"_s);
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), u"金额|合计"_s);
        QCOMPARE(m->columns().at(2).alignment & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(m->columns().at(1).alignment & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    void newestFirstWithoutSortIndicator() {
        const int a = addRecord(Sales, {u"a"_s, u"1"_s, u"1"_s});
        const int b = addRecord(Sales, {u"b"_s, u"2"_s, u"2"_s});
        addRecord(Lease, {u"x"_s, QString(), QString()});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QCOMPARE(reg.records()->recordCount(), 2);
        QCOMPARE(reg.records()->recordId(0), b);
        QCOMPARE(reg.records()->recordId(1), a);
    }

    void sortByTwoIndicators() {
        QVERIFY(mApp->exec(
            u"UPDATE TDataPara SET IsSortField=1 WHERE MainTypeCode=? AND DataFieldA IN ('Data1','Data3')"_s, {Sales}));
        addRecord(Sales, {u"b"_s, QString(), u"1"_s});
        addRecord(Sales, {u"a"_s, QString(), u"1"_s});
        addRecord(Sales, {u"b"_s, QString(), u"2"_s});
        addRecord(Sales, {u"a"_s, QString(), u"3"_s});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QCOMPARE(reg.sortColumns(), (QStringList{u"Data1"_s, u"Data3"_s}));
        QStringList got;
        for (int r = 0; r < 4; ++r)
            got.append(reg.records()->text(r, 1) + reg.records()->text(r, 3));
        // The first ascends, the last descends, as the statement reads.
        QCOMPARE(got, (QStringList{u"a3"_s, u"a1"_s, u"b2"_s, u"b1"_s}));
    }

    void filterContainsAndPersists() {
        addRecord(Sales, {u"Alpha 100%"_s, u"5"_s, QString()});
        addRecord(Sales, {u"beta"_s, u"15"_s, QString()});
        addRecord(Sales, {u"合同ALPHA"_s, u"7"_s, QString()});
        addRecord(Lease, {u"alphabet租户"_s, QString(), QString()});
        addRecord(Lease, {u"其他"_s, QString(), QString()});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        ContractRecordModel *m = reg.records();
        QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);

        reg.applyFilter(-1, u"alpha"_s);
        QCOMPARE(m->recordCount(), 3);
        reg.applyFilter(0, u"alpha"_s);
        QCOMPARE(column(m, 1), (QStringList{u"合同ALPHA"_s, u"Alpha 100%"_s}));
        reg.applyFilter(0, u"ALPHA"_s);
        QCOMPARE(m->recordCount(), 2);
        // Wildcards typed by the user are plain characters.
        reg.applyFilter(0, u"0%"_s);
        QCOMPARE(column(m, 1), QStringList{u"Alpha 100%"_s});
        reg.applyFilter(0, u"a_p"_s);
        QCOMPARE(m->recordCount(), 0);
        reg.applyFilter(1, u"5"_s);
        QCOMPARE(column(m, 2), (QStringList{u"15"_s, u"5"_s}));

        // Re-reading and switching category keep the filter on the same value column.
        reg.applyFilter(0, u"alpha"_s);
        QVERIFY(reg.loadRecords());
        QCOMPARE(m->recordCount(), 2);
        reg.setCurrentCategory(Lease);
        QVERIFY(reg.loadRecords());
        QCOMPARE(column(m, 1), QStringList{u"alphabet租户"_s});
        // An empty text ends it.
        reg.applyFilter(0, QString());
        QCOMPARE(m->recordCount(), 2);
    }

    // The window's read: rows handed over by a reader thread while the list already shows the first of them. What
    // the list holds at the end is exactly what the whole read in one go gives, whatever happened meanwhile.
    void backgroundReadEndsAsTheWholeRead_data() {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QString>("filterMeanwhile");
        QTest::addColumn<bool>("rereadMeanwhile");
        QTest::newRow("newest first") << false << QString() << false;
        QTest::newRow("sorted by a number once all are in") << true << QString() << false;
        QTest::newRow("filter typed while reading") << false << u"7"_s << false;
        QTest::newRow("filter and sort") << true << u"1"_s << false;
        QTest::newRow("read again while reading") << true << QString() << true;
    }
    void backgroundReadEndsAsTheWholeRead() {
        QFETCH(bool, sorted);
        QFETCH(QString, filterMeanwhile);
        QFETCH(bool, rereadMeanwhile);
        constexpr int Records = 3000;
        QVERIFY(mApp->exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1) "
                           "INSERT INTO TContractMain (MainTypeCode,Data1,Data2,Data3) "
                           "SELECT ?, 'r' || CAST(i AS TEXT), CAST((i * 37) % 101 AS TEXT), '' FROM n"_s.arg(Records),
                           {Sales}));
        if (sorted)
            QVERIFY(mApp->exec(u"UPDATE TDataPara SET IsSortField=1 WHERE MainTypeCode=? AND DataFieldA='Data2'"_s,
                               {Sales}));

        ContractRegister whole(mApp->database());
        whole.setCurrentCategory(Sales);
        QVERIFY(whole.loadRecords());
        if (!filterMeanwhile.isEmpty())
            whole.applyFilter(1, filterMeanwhile);

        ContractRegister reg(mApp->database());
        reg.setReadInBackground(true);
        reg.records()->setFirstScreenRows(20);
        reg.setCurrentCategory(Sales);
        ContractRecordModel *m = reg.records();
        QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(reg.loadRecords());
        // The first screen at least (or all of them, had the reader been that quick).
        QVERIFY2(m->recordCount() == 20 || m->recordCount() == Records, qPrintable(QString::number(m->recordCount())));
        if (!filterMeanwhile.isEmpty())
            reg.applyFilter(1, filterMeanwhile);
        if (rereadMeanwhile) {
            QCoreApplication::processEvents();
            QVERIFY(reg.loadRecords());
        }
        QSignalSpy loaded(m, &ContractRecordModel::loaded);
        if (m->isLoading())
            QVERIFY(loaded.wait(10000));
        QVERIFY(!m->isLoading());
        QCOMPARE(column(m, 0), column(whole.records(), 0));
        QCOMPARE(column(m, 2), column(whole.records(), 2));
        QVERIFY(m->recordCount() > 0);
        if (filterMeanwhile.isEmpty())
            QCOMPARE(m->recordCount(), Records);
        else
            QVERIFY(m->recordCount() < Records);
        QVERIFY(mMessages.texts().isEmpty());
    }

    // Leaving the list (or reading another category) while rows still come neither waits for them nor lets them
    // into the list afterwards.
    void backgroundReadStopsWithItsList() {
        QVERIFY(mApp->exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
                           "INSERT INTO TContractMain (MainTypeCode,Data1) SELECT ?, 'r' || CAST(i AS TEXT) FROM n"_s,
                           {Sales}));
        addRecord(Lease, {u"甲"_s, QString(), QString()});
        {
            auto reg = std::make_unique<ContractRegister>(mApp->database());
            reg->setReadInBackground(true);
            reg->records()->setFirstScreenRows(5);
            reg->setCurrentCategory(Sales);
            QVERIFY(reg->loadRecords());
            reg.reset();
            QCoreApplication::processEvents();
        }
        ContractRegister reg(mApp->database());
        reg.setReadInBackground(true);
        reg.records()->setFirstScreenRows(5);
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        reg.setCurrentCategory(Lease);
        QVERIFY(reg.loadRecords());
        QVERIFY(reg.records()->finishLoading());
        QTest::qWait(20);
        QCOMPARE(column(reg.records(), 1), QStringList{u"甲"_s});
    }

    void filterOnAColumnTheOtherCategoryDoesNotShow() {
        addRecord(Sales, {u"a"_s, u"15"_s, QString()});
        addRecord(Lease, {u"甲"_s, u"150"_s, QString()});
        addRecord(Lease, {u"乙"_s, u"7"_s, QString()});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        reg.applyFilter(1, u"15"_s);
        reg.setCurrentCategory(Lease);
        QVERIFY(reg.loadRecords());
        // Lease lists only Data1, yet its records are still narrowed by their Data2.
        QCOMPARE(reg.records()->columnCount(), 2);
        QCOMPARE(column(reg.records(), 1), QStringList{u"甲"_s});
    }

    void filterValuesSplitDefaultSelect() {
        QVERIFY(mApp->exec(u"UPDATE TDataPara SET DefaultSelect='甲;;乙' WHERE MainTypeCode=? AND DataFieldA='Data1'"_s,
                           {Sales}));
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QCOMPARE(reg.filterValues(0), (QStringList{u"甲"_s, QString(), u"乙"_s}));
    }

    void copyKeepsEveryValueColumn() {
        const int id = addRecord(Sales, {u"a"_s, u"1"_s, u"2"_s}, u"第七十五列"_s);
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        mMessages.answerQuestion(false);
        QVERIFY(!reg.copyRecord(0));
        QCOMPARE(reg.records()->recordCount(), 1);
        mMessages.answerQuestion(true);
        QVERIFY(reg.copyRecord(0));
        QCOMPARE(reg.records()->recordCount(), 2);
        const qint64 copy = reg.records()->recordId(0);
        QVERIFY(copy > id);
        QCOMPARE(mApp->scalar(u"SELECT MainTypeCode||Data1||Data75 FROM TContractMain WHERE ID=?"_s, {copy}),
                 Sales + u"a第七十五列"_s);

        reg.setCurrentCategory(u"00019999"_s);
        QVERIFY(!reg.loadRecords());
        QVERIFY(!reg.copyRecord(0));
        QCOMPARE(mMessages.lastText(), u"没有可复制的记录！"_s);
    }

    void copyOfARecordDeletedByAnotherUser() {
        const int id = addRecord(Sales, {u"a"_s, u"1"_s, u"2"_s}, QString());
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QVERIFY(mApp->exec(u"DELETE FROM TContractMain WHERE ID=?"_s, {id}));
        mMessages.answerQuestion(true);
        QVERIFY(!reg.copyRecord(0));
        QCOMPARE(mMessages.lastText(), u"选定的合同已被其他用户删除，不能复制。"_s);
        QCOMPARE(reg.records()->recordCount(), 0);
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain"_s), u"0"_s);
    }

    void copyGetsTheNextContractNumber() {
        QVERIFY(mApp->addIndicator(Sales, u"合同编号"_s, 0, u"Data4"_s, 4, u"[GETBILLID]{C[YYYY][III]}"_s) > 0);
        QVERIFY(mApp->exec(
            u"INSERT INTO TContractMain (MainTypeCode,Data1,Data2,Data4) VALUES (?,'a','9.50','C2012005')"_s, {Sales}));
        const int original = mApp->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
        QVERIFY(
            mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,Data1,Data4) VALUES (?,'b','C2012007')"_s, {Sales}));
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QCOMPARE(reg.records()->recordId(1), original);
        mMessages.answerQuestion(true);
        QVERIFY(reg.copyRecord(1));
        const qint64 copy = reg.records()->recordId(0);
        QCOMPARE(mApp->scalar(u"SELECT Data1||'/'||Data2||'/'||Data4 FROM TContractMain WHERE ID=?"_s, {copy}),
                 u"a/9.50/C2012008"_s);
        QCOMPARE(mApp->scalar(u"SELECT Data4 FROM TContractMain WHERE ID=?"_s, {original}), u"C2012005"_s);
        QCOMPARE(mApp->scalar(u"SELECT count(DISTINCT Data4) FROM TContractMain"_s), u"3"_s);
    }

    // The sort indicator (Data2, or Data3 in the case of two) with its type and format, the stored values in order
    // of entry, and the listed order of those values.
    void sortsNumbersAndDatesByValue_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("numbers descend by value")
            << 1 << u"99999999999.99"_s << QStringList{u"20"_s, u"100"_s, u"9.5"_s, u"-3"_s, u"1250.50"_s}
            << QStringList{u"1250.50"_s, u"100"_s, u"20"_s, u"9.5"_s, u"-3"_s};
        QTest::newRow("unreadable numbers after the readable")
            << 1 << QString() << QStringList{u"约100"_s, u"7"_s, QString(), u"30"_s, u"abc"_s}
            << QStringList{u"30"_s, u"7"_s, u"约100"_s, u"abc"_s, QString()};
        QTest::newRow("dates descend by date")
            << 2 << u"yyyy-MM-dd"_s << QStringList{u"2012-9-30"_s, u"2012-10-1"_s, u"2011-12-31"_s, u"2012-02-15"_s}
            << QStringList{u"2012-10-1"_s, u"2012-9-30"_s, u"2012-02-15"_s, u"2011-12-31"_s};
        QTest::newRow("dates in other forms")
            << 2 << u"yyyy年MM月dd日"_s
            << QStringList{u"2012年09月30日"_s, u"2012年10月01日"_s, u"2012/2/15 9:30:00"_s, u"明年"_s, u"2012-1-5"_s}
            << QStringList{u"2012年10月01日"_s, u"2012年09月30日"_s, u"2012/2/15 9:30:00"_s, u"2012-1-5"_s, u"明年"_s};
        QTest::newRow("text stays text") << 0 << QString() << QStringList{u"20"_s, u"100"_s, u"b"_s, u"9"_s}
                                         << QStringList{u"b"_s, u"9"_s, u"20"_s, u"100"_s};
    }
    void sortsNumbersAndDatesByValue() {
        QFETCH(int, type);
        QFETCH(QString, format);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, listed);
        QVERIFY(mApp->exec(u"UPDATE TDataPara SET PropertyType=?, FormatStr=?, IsSortField=1 WHERE MainTypeCode=? "
                           u"AND DataFieldA='Data2'"_s,
                           {type, format, Sales}));
        for (const QString &v : stored)
            addRecord(Sales, {u"x"_s, v, QString()});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QCOMPARE(column(reg.records(), 2), listed);
        // Filtering keeps the order.
        reg.applyFilter(0, u"x"_s);
        QCOMPARE(column(reg.records(), 2), listed);
    }

    void numberAscendsBeforeTheLastSortColumn() {
        QVERIFY(mApp->exec(u"UPDATE TDataPara SET IsSortField=1 WHERE MainTypeCode=? AND DataFieldA IN "
                           u"('Data2','Data1')"_s,
                           {Sales}));
        addRecord(Sales, {u"b"_s, u"100"_s, QString()});
        addRecord(Sales, {u"a"_s, u"20"_s, QString()});
        addRecord(Sales, {u"a"_s, u"100"_s, QString()});
        addRecord(Sales, {u"c"_s, u"20"_s, QString()});
        const int later = addRecord(Sales, {u"a"_s, u"20"_s, u"later"_s});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QStringList got;
        for (int r = 0; r < reg.records()->recordCount(); ++r)
            got.append(reg.records()->text(r, 2) + reg.records()->text(r, 1));
        // Data1 ascends as text, Data2 (the last) descends by value; equal records keep their order of entry.
        QCOMPARE(got, (QStringList{u"100a"_s, u"20a"_s, u"20a"_s, u"100b"_s, u"20c"_s}));
        QCOMPARE(reg.records()->recordId(2), later);
    }

    void deleteRemovesTheDocument() {
        addRecord(Sales, {u"a"_s, QString(), QString()});
        const int id = addRecord(Sales, {u"b"_s, QString(), QString()});
        const QString doc = ContractRegister(mApp->database()).documentPath(id);
        QCOMPARE(doc, mApp->file(u"DB/ContractFile/"_s + QString::number(id) + u".Doc"_s));
        QVERIFY(writeFile(doc, "doc"));
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        mMessages.answerQuestion(false);
        QVERIFY(!reg.deleteRecord(0));
        QVERIFY(QFile::exists(doc));
        mMessages.answerQuestion(true);
        QVERIFY(reg.deleteRecord(0));
        QCOMPARE(mMessages.texts().last(),
                 u"您确认删除选定的合同数据吗？\n本记录对应已经生成或编辑过的合同内容也将一并删除！"_s);
        QVERIFY(!QFile::exists(doc));
        QCOMPARE(reg.records()->recordCount(), 1);
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain WHERE ID=?"_s, {id}), u"0"_s);
    }

    void deleteDocumentOnly() {
        const int id = addRecord(Sales, {u"a"_s, QString(), QString()});
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QVERIFY(!reg.deleteDocument(0));
        QCOMPARE(mMessages.lastText(), u"选定合同数据的文档尚未生成或已经被删除！"_s);
        QFile f(ContractRegister(mApp->database()).documentPath(id));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(reg.deleteDocument(0));
        QCOMPARE(mMessages.lastText(), u"选定合同记录生成的Word文档已经删除！"_s);
        QVERIFY(!f.exists());
        QCOMPARE(mApp->scalar(u"SELECT count(*) FROM TContractMain"_s), u"1"_s);
    }

    // A document made from a .docx or .odt template has that format; it goes like a Word 97 one.
    void deletesDocumentOfEitherPackageFormat_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("docx") << u".docx"_s;
        QTest::newRow("odt") << u".odt"_s;
    }

    void deletesDocumentOfEitherPackageFormat() {
        QFETCH(QString, suffix);
        const int id = addRecord(Sales, {u"a"_s, QString(), QString()});
        const QString doc = mApp->file(u"DB/ContractFile/"_s + QString::number(id) + suffix);
        const auto make = [&] {
            QFile f(doc);
            return f.open(QIODevice::WriteOnly);
        };
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        QVERIFY(make());
        QVERIFY(reg.deleteDocument(0));
        QCOMPARE(mMessages.lastText(), u"选定合同记录生成的Word文档已经删除！"_s);
        QVERIFY(!QFile::exists(doc));

        QVERIFY(make());
        mMessages.answerQuestion(true);
        QVERIFY(reg.deleteRecord(0));
        QVERIFY(!QFile::exists(doc));
    }

    void storeWidthsWritesEveryGiven() {
        if (TempAppFolder::store() == TempAppFolder::Store::Server)
            QSKIP("counts the commits of the embedded file");
        CommitCounter commits;
        ContractRegister reg(mApp->database());
        reg.setCurrentCategory(Sales);
        QVERIFY(reg.loadRecords());
        reg.storeWidths({{u"Data1"_s, 120}, {u"Data2"_s, 64}, {u"Data3"_s, 80}});
        QCOMPARE(mApp->joined(u"SELECT ColWidth FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx"_s, {Sales}),
                 u"120,64,80"_s);
        // All in one transaction.
        commits.stop();
        QCOMPARE(commits.count(), 1);
        QCOMPARE(mApp->scalar(u"SELECT ColWidth FROM TDataPara WHERE MainTypeCode=?"_s, {Lease}).toInt() == 120, false);
    }

private:
    FixedClock mClock{QDateTime(QDate(2012, 2, 15), QTime(9, 30))};
};

QTEST_GUILESS_MAIN(TestContractRegister)
#include "tst_contractregister.moc"

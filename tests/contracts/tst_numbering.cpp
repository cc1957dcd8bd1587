#include "contracts/ContractEntryGrid.h"
#include "contracts/ContractNumbering.h"
#include "platform/Clock.h"
#include "store/ContractStore.h"
#include "support/FolderTest.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Row = std::array<QString, ContractEntryGrid::ColumnCount>;

namespace {
const QString Category = u"00010001"_s;
const QDateTime Feb15(QDate(2012, 2, 15), QTime(9, 30));
} // namespace

class TestNumbering : public FolderTest {
    Q_OBJECT

public:
    TestNumbering()
        : FolderTest({{Category, u"买卖"_s}, {u"00010002"_s, u"租赁"_s}}) {}

private:
    // Opens a new record's grid of the category and returns what the numbering gave each row.
    QStringList numbers(const QList<QPair<QString, QString>> &rows) // (formula, column)
    {
        QList<Row> cells;
        for (const auto &[formula, column] : rows) {
            Row r;
            r[ContractEntryGrid::ColName] = column;
            r[ContractEntryGrid::ColType] = u"文本"_s;
            r[ContractEntryGrid::ColCalcStr] = formula;
            r[ContractEntryGrid::ColDataField] = column;
            cells.append(r);
        }
        ContractEntryGrid grid;
        grid.setRows(cells);
        ContractNumbering::numberNewRecord(ContractStore(mApp->database()), grid, Category);
        QStringList out;
        for (int r = 0; r < grid.rows(); ++r)
            out.append(grid.value(r));
        return out;
    }
    QString number(const QString &formula) { return numbers({{formula, u"Data1"_s}}).value(0); }
    void store(const QString &value, const QString &column = u"Data1"_s, const QString &category = Category) {
        QVERIFY(mApp->exec(u"INSERT INTO TContractMain (MainTypeCode,"_s + column + u") VALUES (?,?)"_s,
                           {category, value}));
    }

    void initFolder() override {
        mClock.set(Feb15);
        Clock::setInstance(&mClock);
    }

private Q_SLOTS:

    void workedExampleAndNextDay() {
        const QString f = u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s;
        QCOMPARE(number(f), u"C201202150001"_s);
        // Opening again without saving offers the same number.
        QCOMPARE(number(f), u"C201202150001"_s);
        store(u"C201202150001"_s);
        QCOMPARE(number(f), u"C201202150002"_s);
        // Another category counts on its own.
        store(u"C201202150007"_s, u"Data1"_s, u"00010002"_s);
        QCOMPARE(number(f), u"C201202150002"_s);
        mClock.set(Feb15.addDays(1));
        QCOMPARE(number(f), u"C201202160001"_s);
    }

    void templates_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no date tokens") << u"[GETBILLID]{HT-[IIII]}"_s << QStringList{u"HT-0001"_s, u"HT-0002"_s}
                                        << u"HT-0003"_s;
        QTest::newRow("suffix, first") << u"[GETBILLID]{C[YYYY][IIII]-A}"_s << QStringList{} << u"C20120001-A"_s;
        QTest::newRow("suffix, next") << u"[GETBILLID]{C[YYYY][IIII]-A}"_s << QStringList{u"C20120001-A"_s}
                                      << u"C20120002-A"_s;
        QTest::newRow("width 2") << u"[GETBILLID]{N[II]}"_s << QStringList{} << u"N01"_s;
        QTest::newRow("width 6") << u"[GETBILLID]{N[IIIIII]}"_s << QStringList{u"N000041"_s} << u"N000042"_s;
        QTest::newRow("two-digit year") << u"[GETBILLID]{[YY]-[III]}"_s << QStringList{} << u"12-001"_s;
        QTest::newRow("lower-case tokens stay") << u"[GETBILLID]{[yyyy][mm][III]}"_s << QStringList{} << u"yyyymm001"_s;
        QTest::newRow("ADD before [DD]") << u"[GETBILLID]{ADD[DD][II]}"_s << QStringList{} << u"A15DD01"_s;
        QTest::newRow("blanks around") << u"  [GETBILLID]{X[II]} "_s << QStringList{} << u"X01"_s;
        QTest::newRow("non-numeric greatest stops") << u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s
                                                    << QStringList{u"C201202150003"_s, u"C20120215备注"_s} << QString();
        QTest::newRow("past the width") << u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s
                                        << QStringList{u"C201202159998"_s, u"C201202159999"_s} << u"C2012021510000"_s;
        QTest::newRow("past the width, again")
            << u"[GETBILLID]{C[YYYY][MM][DD][IIII]}"_s << QStringList{u"C201202159999"_s, u"C2012021510000"_s}
            << u"C2012021510001"_s;
        QTest::newRow("past the width with suffix")
            << u"[GETBILLID]{T[II]/A}"_s << QStringList{u"T99/A"_s, u"T100/A"_s, u"T101/A"_s} << u"T102/A"_s;
        QTest::newRow("short serial") << u"[GETBILLID]{HT-[IIII]}"_s << QStringList{u"HT-12"_s} << u"HT-0013"_s;
        QTest::newRow("short serial beside a full one")
            << u"[GETBILLID]{HT-[IIII]}"_s << QStringList{u"HT-0005"_s, u"HT-12"_s} << u"HT-0013"_s;
        QTest::newRow("short serial, suffix")
            << u"[GETBILLID]{C[YYYY][IIII]-A}"_s << QStringList{u"C20127-A"_s} << u"C20120008-A"_s;
        QTest::newRow("short serial, then text stops")
            << u"[GETBILLID]{HT-[IIII]}"_s << QStringList{u"HT-0002"_s, u"HT-1x"_s} << QString();
        QTest::newRow("prefix with %") << u"[GETBILLID]{5%-[II]}"_s << QStringList{u"5X-07"_s, u"5%-02"_s}
                                       << u"5%-03"_s;
        QTest::newRow("prefix with _ and quote")
            << u"[GETBILLID]{A_'[II]}"_s << QStringList{u"AB'09"_s, u"A_'04"_s} << u"A_'05"_s;
        QTest::newRow("case of the prefix counts") << u"[GETBILLID]{C[II]}"_s << QStringList{u"c07"_s} << u"C01"_s;
        QTest::newRow("no serial field") << u"[GETBILLID]{C[YYYY]}"_s << QStringList{} << QString();
        QTest::newRow("not a numbering formula") << u"[单价]*2"_s << QStringList{} << QString();
    }
    void templates() {
        QFETCH(QString, formula);
        QFETCH(QStringList, stored);
        QFETCH(QString, expected);
        for (const QString &v : stored)
            store(v);
        QCOMPARE(number(formula), expected);
    }

    void twoNumberingIndicators() {
        store(u"A-0004"_s, u"Data1"_s);
        store(u"B-0009"_s, u"Data2"_s);
        const QStringList got = numbers({{u"[GETBILLID]{A-[IIII]}"_s, u"Data1"_s},
                                         {u"[GETBILLID]{B-[IIII]}"_s, u"Data2"_s},
                                         {u"[GETBILLID]{A-[IIII]}"_s, u"Data3"_s}});
        QCOMPARE(got, (QStringList{u"A-0005"_s, u"B-0010"_s, u"A-0001"_s}));
    }

    void helpers() {
        QCOMPARE(ContractNumbering::removeBrackets(u"C[YYYY][MM]["_s), u"CYYYYMM"_s);
        QCOMPARE(ContractNumbering::replaceDateTokens(u"YYYY-YY-MM-DD-YYYY"_s, Feb15), u"2012-12-02-15-YYYY"_s);
    }

private:
    FixedClock mClock{QDateTime()};
};

QTEST_GUILESS_MAIN(TestNumbering)
#include "tst_numbering.moc"

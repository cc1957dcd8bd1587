#include "IndicatorCommands.h"
#include "ScriptedMessages.h"
#include "TempAppFolder.h"

#include <QAbstractItemModelTester>
#include <QTest>

namespace {
const QString Cat = QStringLiteral("00010001");
const QString Source = QStringLiteral("00010002");
} // namespace

class tst_IndicatorList : public QObject {
    Q_OBJECT

private:
    ScriptedMessages mMessages;
    std::unique_ptr<TempAppFolder> mApp;

    int add(const QString &category, const QString &name, const QString &column, int sortIdx) {
        return mApp->addIndicator(category, name, 0, column, sortIdx);
    }
    // "name:SortIdx" in list order.
    static QStringList listed(IndicatorCommands &c) {
        QStringList out;
        for (const Indicator &i : c.model()->indicators())
            out << i.PropertyName + QLatin1Char(':') + QString::number(i.SortIdx);
        return out;
    }
    QString selectedName(IndicatorCommands &c) { return c.model()->at(c.currentRow()).PropertyName; }

private Q_SLOTS:
    void init() {
        mMessages.clear();
        Messages::setInstance(&mMessages);
        mApp = std::make_unique<TempAppFolder>();
        QVERIFY(mApp->isValid());
        QVERIFY(mApp->addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        QVERIFY(mApp->addCategory(Cat, QStringLiteral("买卖"), QStringLiteral("0001")));
        QVERIFY(mApp->addCategory(Source, QStringLiteral("租赁"), QStringLiteral("0001")));
    }
    void cleanup() {
        mApp.reset();
        Messages::setInstance(nullptr);
    }

    void columnsAndTexts() {
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,HisSelect,"
                                          "NoNull,IsSortField,SortIdx,DataFieldA) VALUES (?,?,1,1,1,1,1,'Data1')"),
                           {Cat, QStringLiteral("金额")}));
        IndicatorCommands c;
        QAbstractItemModelTester tester(c.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(c.load(Cat));
        QStringList titles;
        QStringList row;
        for (int col = 0; col < c.model()->columnCount(); ++col) {
            titles << c.model()->headerData(col, Qt::Horizontal).toString();
            row << c.model()->index(0, col).data().toString();
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("序号"), QStringLiteral("指标名称"), QStringLiteral("指标类型"),
                                      QStringLiteral("格式"), QStringLiteral("单位"), QStringLiteral("默认选择参数"),
                                      QStringLiteral("可从历史数据选择"), QStringLiteral("计算公式"),
                                      QStringLiteral("是否必须填写"), QStringLiteral("排序字段")}));
        QCOMPARE(row, (QStringList{QStringLiteral("1"), QStringLiteral("金额"), QStringLiteral("数字"), QString(),
                                   QString(), QString(), QStringLiteral("支持"), QString(), QStringLiteral("是"),
                                   QStringLiteral("√")}));
    }

    void moves_data() {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("steps"); // -1 forward, +1 backward
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("selected");
        QTest::newRow("third forward in 1,2,3")
            << QList<int>{1, 2, 3} << 2 << QList<int>{-1} << QStringList{"A:1", "C:2", "B:3"} << "C";
        QTest::newRow("first forward does nothing")
            << QList<int>{1, 2, 3} << 0 << QList<int>{-1} << QStringList{"A:1", "B:2", "C:3"} << "A";
        QTest::newRow("last backward does nothing")
            << QList<int>{1, 2, 3} << 2 << QList<int>{1} << QStringList{"A:1", "B:2", "C:3"} << "C";
        QTest::newRow("first backward in 1,2,3")
            << QList<int>{1, 2, 3} << 0 << QList<int>{1} << QStringList{"B:1", "A:2", "C:3"} << "A";
        QTest::newRow("over a gap the number closes it")
            << QList<int>{1, 2, 4} << 2 << QList<int>{-1} << QStringList{"A:1", "B:2", "C:3"} << "C";
        QTest::newRow("then it passes the neighbour")
            << QList<int>{1, 2, 4} << 2 << QList<int>{-1, -1} << QStringList{"A:1", "C:2", "B:3"} << "C";
    }

    void moves() {
        QFETCH(QList<int>, numbers);
        QFETCH(int, row);
        QFETCH(QList<int>, steps);
        QFETCH(QStringList, expected);
        QFETCH(QString, selected);
        const QStringList names{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        for (int i = 0; i < numbers.size(); ++i)
            QVERIFY(add(Cat, names.at(i), QStringLiteral("Data%1").arg(i + 1), numbers.at(i)) > 0);
        QVERIFY(add(Source, QStringLiteral("其它"), QStringLiteral("Data1"), 2) > 0);
        IndicatorCommands c;
        QVERIFY(c.load(Cat));
        c.selectRow(row);
        for (int step : steps)
            step < 0 ? c.SpeedButton2Click() : c.SpeedButton3Click();
        QCOMPARE(listed(c), expected);
        QCOMPARE(selectedName(c), selected);
        QVERIFY(mMessages.texts().isEmpty());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT SortIdx FROM TDataPara WHERE MainTypeCode=?"), {Source}),
                 QStringLiteral("2"));
    }

    void emptyListDoesNothing() {
        IndicatorCommands c;
        int edits = 0;
        c.setEditHook([&](const QString &, const QString &, int) { return ++edits, true; });
        QVERIFY(c.load(Cat));
        c.cmdEditPropertyClick();
        c.cmdDelPropertyClick();
        c.SpeedButton2Click();
        c.SpeedButton3Click();
        QCOMPARE(edits, 0);
        QVERIFY(mMessages.texts().isEmpty());
    }

    void addAndChangeReload() {
        const int id = add(Cat, QStringLiteral("甲"), QStringLiteral("Data1"), 1);
        QVERIFY(add(Cat, QStringLiteral("乙"), QStringLiteral("Data2"), 2) > 0);
        IndicatorCommands c;
        QList<int> opened;
        c.setEditHook([&](const QString &table, const QString &category, int indicator) {
            [&] {
                QCOMPARE(table, QStringLiteral("TDataPara"));
                QCOMPARE(category, Cat);
            }();
            opened << indicator;
            return mApp->exec(
                QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,SortIdx) VALUES (?,?,3)"),
                {Cat, QStringLiteral("丙")});
        });
        QVERIFY(c.load(Cat));
        c.cmdAppendPropertyClick();
        QCOMPARE(c.model()->rowCount(), 3);
        c.selectRow(0);
        c.cmdEditPropertyClick();
        QCOMPARE(opened, (QList<int>{-1, id}));
        QCOMPARE(c.model()->rowCount(), 4);
        QCOMPARE(c.currentRow(), 0);
    }

    void deleteClearsTheValueColumn() {
        QVERIFY(add(Cat, QStringLiteral("甲"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(add(Cat, QStringLiteral("乙"), QStringLiteral("Data2"), 2) > 0);
        QVERIFY(add(Source, QStringLiteral("丙"), QStringLiteral("Data2"), 1) > 0);
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode,Data1,Data2) VALUES (?,'a1','b1')"),
                           {Cat}));
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode,Data1,Data2) VALUES (?,'a2','b2')"),
                           {Cat}));
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode,Data1,Data2) VALUES (?,'x','y')"),
                           {Source}));
        IndicatorCommands c;
        QVERIFY(c.load(Cat));
        c.selectRow(1);

        mMessages.answerQuestion(false);
        c.cmdDelPropertyClick();
        QCOMPARE(c.model()->rowCount(), 2);
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT group_concat(Data2) FROM TContractMain")),
                 QStringLiteral("b1,b2,y"));

        mMessages.answerQuestion(true);
        c.cmdDelPropertyClick();
        QCOMPARE(mMessages.texts(), (QStringList{QStringLiteral("您确认删除选定合同文档参数指标吗？"),
                                                 QStringLiteral("您确认删除选定合同文档参数指标吗？")}));
        QCOMPARE(listed(c), QStringList{QStringLiteral("甲:1")});
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT group_concat(Data1||'/'||Data2) FROM TContractMain "
                                             "ORDER BY ID")),
                 QStringLiteral("a1/,a2/,x/y"));

        // A failing clear keeps the indicator too.
        QVERIFY(mApp->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON TContractMain "
                                          "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        mMessages.answerQuestion(true);
        c.cmdDelPropertyClick();
        QCOMPARE(mMessages.lastText(), QStringLiteral("删除数据发生错误！"));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?"), {Cat}),
                 QStringLiteral("1"));
        QCOMPARE(c.model()->rowCount(), 1);
    }

    void import() {
        QVERIFY(add(Cat, QStringLiteral("旧"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,SortIdx,"
                                          "ColWidth,DataFieldA,CalcStr) VALUES (?,?,1,5,140,'Data7','[甲]*2')"),
                           {Source, QStringLiteral("乙")}));
        QVERIFY(add(Source, QStringLiteral("甲"), QStringLiteral("Data3"), 2) > 0);
        IndicatorCommands c;
        QString pick = Source;
        c.setSelectHook([&](QString *code, QString *name) {
            *code = pick;
            *name = QStringLiteral("租赁");
            return true;
        });
        QVERIFY(c.load(Cat));

        mMessages.answerQuestion(false);
        c.SpeedButton1Click();
        QCOMPARE(listed(c), QStringList{QStringLiteral("旧:1")});

        mMessages.answerQuestion(true);
        c.SpeedButton1Click();
        QCOMPARE(listed(c), (QStringList{QStringLiteral("甲:2"), QStringLiteral("乙:5")}));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT group_concat(PropertyName||'/'||PropertyType||'/'||ColWidth||'/'||"
                                             "DataFieldA||'/'||ifnull(CalcStr,'')) FROM TDataPara WHERE MainTypeCode=? "
                                             "ORDER BY SortIdx"),
                              {Cat}),
                 QStringLiteral("甲/0/100/Data3/,乙/1/140/Data7/[甲]*2"));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?"), {Source}),
                 QStringLiteral("2"));
        QCOMPARE(mMessages.texts().size(), 2);

        // The current category as its own source is refused before any question.
        mMessages.clear();
        pick = Cat;
        c.SpeedButton1Click();
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("不能从本分类导入指标，请选择其它分类！")});
        QCOMPARE(c.model()->rowCount(), 2);
    }

    void importIntoEmptyAsksNothing() {
        QVERIFY(add(Source, QStringLiteral("甲"), QStringLiteral("Data1"), 1) > 0);
        IndicatorCommands c;
        c.setSelectHook([](QString *code, QString *) { return *code = Source, true; });
        QVERIFY(c.load(Cat));
        c.SpeedButton1Click();
        QVERIFY(mMessages.texts().isEmpty());
        QCOMPARE(listed(c), QStringList{QStringLiteral("甲:1")});

        // A cancelled picker changes nothing.
        c.setSelectHook([](QString *, QString *) { return false; });
        c.SpeedButton1Click();
        QCOMPARE(listed(c), QStringList{QStringLiteral("甲:1")});
    }

    void importRollsBackOnFailure() {
        QVERIFY(add(Cat, QStringLiteral("旧一"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(add(Cat, QStringLiteral("旧二"), QStringLiteral("Data2"), 2) > 0);
        QVERIFY(add(Source, QStringLiteral("好"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(add(Source, QStringLiteral("坏"), QStringLiteral("Data2"), 2) > 0);
        QVERIFY(mApp->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON TDataPara WHEN NEW.PropertyName='坏' "
                                          "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        IndicatorCommands c;
        c.setSelectHook([](QString *code, QString *) { return *code = Source, true; });
        QVERIFY(c.load(Cat));
        mMessages.answerQuestion(true);
        c.SpeedButton1Click();
        QCOMPARE(mMessages.lastText(), QStringLiteral("存储数据发生错误！"));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT group_concat(PropertyName) FROM TDataPara WHERE MainTypeCode=? "
                                             "ORDER BY SortIdx"),
                              {Cat}),
                 QStringLiteral("旧一,旧二"));
        QCOMPARE(listed(c), (QStringList{QStringLiteral("旧一:1"), QStringLiteral("旧二:2")}));
    }
};

QTEST_GUILESS_MAIN(tst_IndicatorList)
#include "tst_indicatorlist.moc"

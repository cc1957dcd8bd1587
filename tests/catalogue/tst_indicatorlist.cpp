#include "catalogue/IndicatorCommands.h"
#include "support/FolderTest.h"

#include <QAbstractItemModelTester>
#include <QTest>

namespace {
const QString Cat = QStringLiteral("00010001");
const QString Source = QStringLiteral("00010002");
} // namespace

class tst_IndicatorList : public FolderTest {
    Q_OBJECT

public:
    tst_IndicatorList()
        : FolderTest({{Cat, QStringLiteral("买卖")}, {Source, QStringLiteral("租赁")}}) {}

private:
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
    void columnsAndTexts() {
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,HisSelect,"
                                          "NoNull,IsSortField,SortIdx,DataFieldA) VALUES (?,?,1,1,1,1,1,'Data1')"),
                           {Cat, QStringLiteral("金额")}));
        IndicatorCommands c(mApp->database());
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
        IndicatorCommands c(mApp->database());
        QVERIFY(c.load(Cat));
        c.selectRow(row);
        for (int step : steps)
            step < 0 ? c.moveForward() : c.moveBackward();
        QCOMPARE(listed(c), expected);
        QCOMPARE(selectedName(c), selected);
        QVERIFY(mMessages.texts().isEmpty());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT SortIdx FROM TDataPara WHERE MainTypeCode=?"), {Source}),
                 QStringLiteral("2"));
    }

    void emptyListDoesNothing() {
        IndicatorCommands c(mApp->database());
        int edits = 0;
        c.setEditHook([&](const QString &, const QString &, int) { return ++edits, true; });
        QVERIFY(c.load(Cat));
        c.editIndicator();
        c.deleteIndicator();
        c.moveForward();
        c.moveBackward();
        QCOMPARE(edits, 0);
        QVERIFY(mMessages.texts().isEmpty());
    }

    void addAndChangeReload() {
        const int id = add(Cat, QStringLiteral("甲"), QStringLiteral("Data1"), 1);
        QVERIFY(add(Cat, QStringLiteral("乙"), QStringLiteral("Data2"), 2) > 0);
        IndicatorCommands c(mApp->database());
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
        c.addIndicator();
        QCOMPARE(c.model()->rowCount(), 3);
        c.selectRow(0);
        c.editIndicator();
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
        IndicatorCommands c(mApp->database());
        QVERIFY(c.load(Cat));
        c.selectRow(1);

        mMessages.answerQuestion(false);
        c.deleteIndicator();
        QCOMPARE(c.model()->rowCount(), 2);
        QCOMPARE(mApp->joined(QStringLiteral("SELECT Data2 FROM TContractMain ORDER BY ID")),
                 QStringLiteral("b1,b2,y"));

        mMessages.answerQuestion(true);
        c.deleteIndicator();
        const QString losing = QStringLiteral("有 2 份合同填写了指标“乙”的值，删除后这些值将被清除，是否继续？");
        QCOMPARE(mMessages.texts(), (QStringList{losing, losing}));
        QCOMPARE(listed(c), QStringList{QStringLiteral("甲:1")});
        QCOMPARE(mApp->joined(QStringLiteral("SELECT Data1||'/'||Data2 FROM TContractMain ORDER BY ID")),
                 QStringLiteral("a1/,a2/,x/y"));

        // A failing clear keeps the indicator too.
        QVERIFY(mApp->refuseChanges(QStringLiteral("TContractMain"), QStringLiteral("UPDATE")));
        mMessages.answerQuestion(true);
        c.deleteIndicator();
        QCOMPARE(mMessages.lastText(), QStringLiteral("删除数据发生错误！"));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?"), {Cat}),
                 QStringLiteral("1"));
        QCOMPARE(c.model()->rowCount(), 1);
    }

    void deleteQuestion_data() {
        QTest::addColumn<QString>("values"); // Data2 of the category's records; "-" for null
        QTest::addColumn<QString>("shared"); // another indicator of the category on Data2
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("after");
        const QString plain = QStringLiteral("您确认删除选定合同文档参数指标吗？");
        QTest::newRow("values in two of three records")
            << QStringLiteral("b1,,b3") << QString()
            << QStringLiteral("有 2 份合同填写了指标“乙”的值，删除后这些值将被清除，是否继续？")
            << QStringLiteral(",,");
        QTest::newRow("no value: the plain question")
            << QStringLiteral(",-,") << QString() << plain << QStringLiteral(",,");
        QTest::newRow("column held by another indicator keeps its values")
            << QStringLiteral("b1,b2") << QStringLiteral("丁") << plain << QStringLiteral("b1,b2");
    }

    void deleteQuestion() {
        QFETCH(QString, values);
        QFETCH(QString, shared);
        QFETCH(QString, question);
        QFETCH(QString, after);
        QVERIFY(add(Cat, QStringLiteral("甲"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(add(Cat, QStringLiteral("乙"), QStringLiteral("Data2"), 2) > 0);
        if (!shared.isEmpty())
            QVERIFY(add(Cat, shared, QStringLiteral("Data2"), 3) > 0);
        for (const QString &value : values.split(QLatin1Char(',')))
            QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode,Data1,Data2) VALUES (?,'a',?)"),
                               {Cat, value == QStringLiteral("-") ? QVariant() : QVariant(value)}));
        QVERIFY(
            mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode,Data2) VALUES (?,'other')"), {Source}));
        const QString data2 = QStringLiteral("SELECT coalesce(Data2,'') FROM TContractMain "
                                             "WHERE MainTypeCode=? ORDER BY ID");
        const QString before = mApp->joined(data2, {Cat});
        IndicatorCommands c(mApp->database());
        QVERIFY(c.load(Cat));
        c.selectRow(1);

        // No changes nothing.
        mMessages.answerQuestion(false);
        c.deleteIndicator();
        QCOMPARE(mMessages.texts(), QStringList{question});
        QCOMPARE(c.model()->rowCount(), shared.isEmpty() ? 2 : 3);
        QCOMPARE(mApp->joined(data2, {Cat}), before);

        mMessages.answerQuestion(true);
        c.deleteIndicator();
        QCOMPARE(mMessages.texts(), (QStringList{question, question}));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE PropertyName='乙'")),
                 QStringLiteral("0"));
        QCOMPARE(mApp->joined(data2, {Cat}), after);
        QCOMPARE(
            mApp->joined(QStringLiteral("SELECT Data1 FROM TContractMain WHERE MainTypeCode=? ORDER BY ID"), {Cat}),
            QStringList(values.split(QLatin1Char(',')).size(), QStringLiteral("a")).join(QLatin1Char(',')));
        QCOMPARE(mApp->joined(data2, {Source}), QStringLiteral("other"));
    }

    void importClearsTheValuesOfReplacedIndicators() {
        QVERIFY(mApp->addIndicator(Cat, QStringLiteral("甲"), 0, QStringLiteral("Data1"), 1) > 0);
        QVERIFY(mApp->addIndicator(Cat, QStringLiteral("乙"), 0, QStringLiteral("Data2"), 2) > 0);
        QVERIFY(mApp->addIndicator(Cat, QStringLiteral("丙"), 1, QStringLiteral("Data3"), 3) > 0);
        QVERIFY(mApp->addIndicator(Cat, QStringLiteral("空"), 0, QStringLiteral("Data5"), 4) > 0);
        // The same field carries its values over; a new name or a new type on the column does not.
        QVERIFY(mApp->addIndicator(Source, QStringLiteral("甲"), 0, QStringLiteral("Data1"), 1) > 0);
        QVERIFY(mApp->addIndicator(Source, QStringLiteral("丁"), 0, QStringLiteral("Data2"), 2) > 0);
        QVERIFY(mApp->addIndicator(Source, QStringLiteral("丙"), 0, QStringLiteral("Data3"), 3) > 0);
        QVERIFY(mApp->addIndicator(Source, QStringLiteral("戊"), 0, QStringLiteral("Data4"), 4) > 0);
        const QString insert =
            QStringLiteral("INSERT INTO TContractMain (MainTypeCode,Data1,Data2,Data3,Data4) VALUES (?,?,?,?,?)");
        QVERIFY(mApp->exec(insert, {Cat, QStringLiteral("a1"), QStringLiteral("b1"), QString(), QStringLiteral("旧")}));
        QVERIFY(mApp->exec(insert, {Cat, QStringLiteral("a2"), QString(), QString(), QString()}));
        QVERIFY(mApp->exec(insert, {Cat, QString(), QVariant(), QStringLiteral("5"), QString()}));
        QVERIFY(mApp->exec(
            insert, {Source, QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z"), QStringLiteral("w")}));
        const QString values = QStringLiteral("SELECT coalesce(Data1,'')||'/'||coalesce(Data2,'')||'/'||"
                                              "coalesce(Data3,'')||'/'||coalesce(Data4,'') FROM TContractMain "
                                              "WHERE MainTypeCode=? ORDER BY ID");
        const QString before = mApp->joined(values, {Cat});
        IndicatorCommands c(mApp->database());
        c.setSelectHook([](QString *code, QString *) { return *code = Source, true; });
        QVERIFY(c.load(Cat));

        const QString question =
            QStringLiteral("如果您确定从其它分类导入指标，本分类的已经存在指标将被清除。\n"
                           "有 2 份合同填写了指标“乙”、“丙”的值，导入后这些值将被清除，您确认继续吗？");
        mMessages.answerQuestion(false);
        c.importIndicators();
        QCOMPARE(mMessages.texts(), QStringList{question});
        QCOMPARE(listed(c).size(), 4);
        QCOMPARE(mApp->joined(values, {Cat}), before);

        mMessages.answerQuestion(true);
        c.importIndicators();
        QCOMPARE(mMessages.texts(), (QStringList{question, question}));
        QCOMPARE(listed(c), (QStringList{QStringLiteral("甲:1"), QStringLiteral("丁:2"), QStringLiteral("丙:3"),
                                         QStringLiteral("戊:4")}));
        QCOMPARE(mApp->joined(values, {Cat}), QStringLiteral("a1///,a2///,///"));
        QCOMPARE(mApp->joined(values, {Source}), QStringLiteral("x/y/z/w"));
        QCOMPARE(mMessages.unexpected(), 0);
    }

    void import() {
        QVERIFY(add(Cat, QStringLiteral("旧"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,SortIdx,"
                                          "ColWidth,DataFieldA,CalcStr) VALUES (?,?,1,5,140,'Data7','[甲]*2')"),
                           {Source, QStringLiteral("乙")}));
        QVERIFY(add(Source, QStringLiteral("甲"), QStringLiteral("Data3"), 2) > 0);
        IndicatorCommands c(mApp->database());
        QString pick = Source;
        c.setSelectHook([&](QString *code, QString *name) {
            *code = pick;
            *name = QStringLiteral("租赁");
            return true;
        });
        QVERIFY(c.load(Cat));

        mMessages.answerQuestion(false);
        c.importIndicators();
        QCOMPARE(listed(c), QStringList{QStringLiteral("旧:1")});

        mMessages.answerQuestion(true);
        c.importIndicators();
        QCOMPARE(listed(c), (QStringList{QStringLiteral("甲:2"), QStringLiteral("乙:5")}));
        QCOMPARE(
            mApp->joined(QStringLiteral("SELECT PropertyName||'/'||PropertyType||'/'||ColWidth||'/'||"
                                        "DataFieldA||'/'||coalesce(CalcStr,'') FROM TDataPara WHERE MainTypeCode=? "
                                        "ORDER BY SortIdx"),
                         {Cat}),
            QStringLiteral("甲/0/100/Data3/,乙/1/140/Data7/[甲]*2"));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?"), {Source}),
                 QStringLiteral("2"));
        QCOMPARE(mMessages.texts().size(), 2);

        // The current category as its own source is refused before any question.
        mMessages.clear();
        pick = Cat;
        c.importIndicators();
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("不能从本分类导入指标，请选择其它分类！")});
        QCOMPARE(c.model()->rowCount(), 2);
    }

    void importIntoEmptyAsksNothing() {
        QVERIFY(add(Source, QStringLiteral("甲"), QStringLiteral("Data1"), 1) > 0);
        IndicatorCommands c(mApp->database());
        c.setSelectHook([](QString *code, QString *) { return *code = Source, true; });
        QVERIFY(c.load(Cat));
        c.importIndicators();
        QVERIFY(mMessages.texts().isEmpty());
        QCOMPARE(listed(c), QStringList{QStringLiteral("甲:1")});

        // A cancelled picker changes nothing.
        c.setSelectHook([](QString *, QString *) { return false; });
        c.importIndicators();
        QCOMPARE(listed(c), QStringList{QStringLiteral("甲:1")});
    }

    void importRollsBackOnFailure() {
        QVERIFY(add(Cat, QStringLiteral("旧一"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(add(Cat, QStringLiteral("旧二"), QStringLiteral("Data2"), 2) > 0);
        QVERIFY(add(Source, QStringLiteral("好"), QStringLiteral("Data1"), 1) > 0);
        QVERIFY(add(Source, QStringLiteral("坏"), QStringLiteral("Data2"), 2) > 0);
        QVERIFY(mApp->refuseChanges(QStringLiteral("TDataPara"), QStringLiteral("INSERT"),
                                    QStringLiteral("NEW.PropertyName='坏'")));
        IndicatorCommands c(mApp->database());
        c.setSelectHook([](QString *code, QString *) { return *code = Source, true; });
        QVERIFY(c.load(Cat));
        mMessages.answerQuestion(true);
        c.importIndicators();
        QCOMPARE(mMessages.lastText(), QStringLiteral("存储数据发生错误！"));
        QCOMPARE(mApp->joined(QStringLiteral("SELECT PropertyName FROM TDataPara WHERE MainTypeCode=? "
                                             "ORDER BY SortIdx"),
                              {Cat}),
                 QStringLiteral("旧一,旧二"));
        QCOMPARE(listed(c), (QStringList{QStringLiteral("旧一:1"), QStringLiteral("旧二:2")}));
    }
};

QTEST_GUILESS_MAIN(tst_IndicatorList)
#include "tst_indicatorlist.moc"

#include "catalogue/IndicatorEditor.h"
#include "support/FolderTest.h"

#include <QTest>

namespace {
const QString Cat = QStringLiteral("00010001");
const QString Other = QStringLiteral("00010002");
} // namespace

class tst_IndicatorEditor : public FolderTest {
    Q_OBJECT

public:
    tst_IndicatorEditor()
        : FolderTest({{Cat, QStringLiteral("买卖")}, {Other, QStringLiteral("租赁")}}) {}

private:
    int add(const QString &category, const QString &name, const QString &column, int sortIdx) {
        return mApp->addIndicator(category, name, 0, column, sortIdx);
    }

private Q_SLOTS:
    void valueColumnAllocation_data() {
        QTest::addColumn<QStringList>("used");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("sortIdx");
        QTest::newRow("first indicator") << QStringList() << QStringLiteral("Data1") << 1;
        QTest::newRow("hole is filled") << QStringList{QStringLiteral("Data1"), QStringLiteral("Data2"),
                                                       QStringLiteral("Data4")}
                                        << QStringLiteral("Data3") << 4;
        QStringList nine;
        for (int n = 1; n <= 9; ++n)
            nine << QStringLiteral("Data%1").arg(n);
        QTest::newRow("Data10 after Data9, not Data1x by text") << nine << QStringLiteral("Data10") << 10;
        QTest::newRow("case counts") << QStringList{QStringLiteral("data1")} << QStringLiteral("Data1") << 2;
    }

    void valueColumnAllocation() {
        QFETCH(QStringList, used);
        QFETCH(QString, expected);
        QFETCH(int, sortIdx);
        for (int i = 0; i < used.size(); ++i)
            QVERIFY(add(Cat, QStringLiteral("指标%1").arg(i), used.at(i), i + 1) > 0);
        // Another category's columns do not count.
        QVERIFY(add(Other, QStringLiteral("别的"), QStringLiteral("Data1"), 1) > 0);

        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, -1);
        QVERIFY(editor.load());
        QVERIFY(editor.isNew());
        editor.values().PropertyName = QStringLiteral("新指标");
        QVERIFY(editor.save());
        QVERIFY(!editor.cancelled());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT DataFieldA||'/'||SortIdx FROM TDataPara WHERE PropertyName=?"),
                              {QStringLiteral("新指标")}),
                 expected + QLatin1Char('/') + QString::number(sortIdx));
    }

    void allColumnsUsedIsRefused() {
        for (int n = 1; n <= 80; ++n)
            QVERIFY(add(Cat, QStringLiteral("指标%1").arg(n), QStringLiteral("Data%1").arg(n), n) > 0);
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, -1);
        QVERIFY(editor.load());
        editor.values().PropertyName = QStringLiteral("第81个");
        QVERIFY(!editor.save());
        QVERIFY(editor.cancelled());
        QCOMPARE(mMessages.texts().size(), 1);
        QVERIFY(mMessages.lastText().contains(QStringLiteral("80")));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?"), {Cat}),
                 QStringLiteral("80"));
    }

    void names() {
        const int price = add(Cat, QStringLiteral("单价"), QStringLiteral("Data1"), 1);
        QVERIFY(add(Cat, QStringLiteral("金额"), QStringLiteral("Data2"), 2) > 0);
        QVERIFY(add(Other, QStringLiteral("数量"), QStringLiteral("Data1"), 1) > 0);

        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, price);
        QVERIFY(editor.load());
        QCOMPARE(editor.values().PropertyName, QStringLiteral("单价"));

        bool nameRejected = false;
        editor.values().PropertyName.clear();
        QVERIFY(!editor.save(&nameRejected));
        QVERIFY(nameRejected);
        QCOMPARE(mMessages.lastText(), QStringLiteral("指标名称必须输入！"));

        editor.values().PropertyName = QStringLiteral("金额");
        QVERIFY(!editor.save(&nameRejected));
        QVERIFY(nameRejected);
        QCOMPARE(mMessages.lastText(), QStringLiteral("名称为 [金额] 的指标已经存在！"));

        // Its own name, and a name used only in another category, are fine; blanks count as a name.
        mMessages.clear();
        editor.values().PropertyName = QStringLiteral("单价");
        QVERIFY(editor.save());
        editor.values().PropertyName = QStringLiteral("数量");
        QVERIFY(editor.save());
        editor.values().PropertyName = QStringLiteral("  ");
        QVERIFY(editor.save());
        QVERIFY(mMessages.texts().isEmpty());
    }

    void changeKeepsColumnAndOrder() {
        QVERIFY(add(Cat, QStringLiteral("甲"), QStringLiteral("Data1"), 1) > 0);
        const int id = add(Cat, QStringLiteral("乙"), QStringLiteral("Data5"), 7);
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, id);
        QVERIFY(editor.load());
        QVERIFY(!editor.isNew());
        editor.values().PropertyType = Indicator::Date;
        editor.values().FormatStr = QStringLiteral("yyyy-MM-dd");
        editor.values().CalcStr = QStringLiteral("[DATE_STOB][甲]");
        editor.values().NoNull = 1;
        QVERIFY(editor.save());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT DataFieldA||'/'||SortIdx||'/'||PropertyType||'/'||NoNull||'/'||"
                                             "CalcStr FROM TDataPara WHERE ID=?"),
                              {id}),
                 QStringLiteral("Data5/7/2/1/[DATE_STOB][甲]"));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara")), QStringLiteral("2"));
    }

    // Days ahead out of range are stored at the nearest end; a number is never marked.
    void dueReminderIsStoredInRange_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("stored");
        QTest::newRow("date") << int(Indicator::Date) << 45 << "1/45";
        QTest::newRow("date, too far") << int(Indicator::Date) << 999 << "1/365";
        QTest::newRow("date, negative") << int(Indicator::Date) << -3 << "1/0";
        QTest::newRow("number") << int(Indicator::Number) << 45 << "0/45";
    }
    void dueReminderIsStoredInRange() {
        QFETCH(int, type);
        QFETCH(int, days);
        QFETCH(QString, stored);
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, -1);
        QVERIFY(editor.load());
        editor.values().PropertyName = QStringLiteral("到期日");
        editor.values().PropertyType = type;
        editor.values().DueRemind = 1;
        editor.values().DueDays = days;
        QVERIFY(editor.save());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT DueRemind||'/'||DueDays FROM TDataPara")), stored);
    }

    void deletedMeanwhile() {
        QVERIFY(add(Cat, QStringLiteral("甲"), QStringLiteral("Data1"), 3) > 0);
        const int gone = add(Cat, QStringLiteral("乙"), QStringLiteral("Data2"), 4);
        QVERIFY(mApp->exec(QStringLiteral("DELETE FROM TDataPara WHERE ID=?"), {gone}));

        // Deleted before opening: an empty dialog whose save makes a new indicator.
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, gone);
        QVERIFY(editor.load());
        QVERIFY(editor.isNew());
        QVERIFY(editor.values().PropertyName.isEmpty());
        QCOMPARE(editor.orderNumber(), 4);
        editor.values().PropertyName = QStringLiteral("丙");
        QVERIFY(editor.save());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT DataFieldA FROM TDataPara WHERE PropertyName=?"),
                              {QStringLiteral("丙")}),
                 QStringLiteral("Data2"));

        // Deleted while the dialog is open: the save fails and stores nothing.
        const int id =
            mApp->scalar(QStringLiteral("SELECT ID FROM TDataPara WHERE PropertyName=?"), {QStringLiteral("甲")})
                .toInt();
        IndicatorEditor open(mApp->database(), IndicatorEditor::IndicatorTable, Cat, id);
        QVERIFY(open.load());
        QVERIFY(mApp->exec(QStringLiteral("DELETE FROM TDataPara WHERE ID=?"), {id}));
        QVERIFY(!open.save());
        QCOMPARE(mMessages.lastText(), QStringLiteral("存储数据发生错误！"));
        QVERIFY(open.cancelled());
    }

    void categoryDeletedWhileOpen() {
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Other, -1);
        QVERIFY(editor.load());
        QVERIFY(mApp->exec(QStringLiteral("DELETE FROM TContractClass WHERE TypeCode=?"), {Other}));
        editor.values().PropertyName = QStringLiteral("新指标");
        QVERIFY(!editor.save());
        QCOMPARE(mMessages.lastText(), QStringLiteral("该合同分类已被其他用户删除，指标不能保存。"));
        QVERIFY(editor.cancelled());
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT count(*) FROM TDataPara")), QStringLiteral("0"));
    }

    void unreadableTable() {
        IndicatorEditor wrongTable(mApp->database(), QStringLiteral("TDataPara; DROP TABLE TPara"), Cat, -1);
        QVERIFY(!wrongTable.load());
        QVERIFY(mApp->exec(QStringLiteral("DROP TABLE TDataPara")));
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, -1);
        QVERIFY(!editor.load());
        QCOMPARE(mMessages.texts(),
                 (QStringList{QStringLiteral("读取数据库发生错误！"), QStringLiteral("读取数据库发生错误！")}));
    }

    void unknownReferences_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QStringList>("unknown");
        const QStringList none;
        QTest::newRow("arithmetic over indicators") << QStringLiteral("([单价]+1)*[数量]/2") << none;
        QTest::newRow("a name the category lacks")
            << QStringLiteral("[不存在的指标]*2") << QStringList{QStringLiteral("不存在的指标")};
        QTest::newRow("each unknown name once, in order")
            << QStringLiteral("[乙]+[单价]*[甲]-[乙]") << QStringList{QStringLiteral("乙"), QStringLiteral("甲")};
        QTest::newRow("names are compared exactly")
            << QStringLiteral("[单价 ]*[数量]") << QStringList{QStringLiteral("单价 ")};
        QTest::newRow("capital amount") << QStringLiteral("[MONEY_STOB][单价]") << none;
        QTest::newRow("capital amount in 10 000") << QStringLiteral("  [MONEY_STOB_W][单价]") << none;
        QTest::newRow("Chinese date of an unknown date")
            << QStringLiteral("[DATE_STOB][签订日期]") << QStringList{QStringLiteral("签订日期")};
        QTest::newRow("numbering template") << QStringLiteral("[GETBILLID]{C[YYYY][MM][DD][IIII]}") << none;
        QTest::newRow("numbering with suffix and short year") << QStringLiteral("[GETBILLID]{HT-[YY][II]-A}") << none;
        QTest::newRow("functions with arguments")
            << QStringLiteral("Round([单价]*0.05,2)+Int([数量]) Mod 3 + Abs([折扣])")
            << QStringList{QStringLiteral("折扣")};
        QTest::newRow("a bracket left open is no reference") << QStringLiteral("[单价]*[数量") << none;
        QTest::newRow("the indicator's own name") << QStringLiteral("[本指标]+1") << none;
    }

    void unknownReferences() {
        QFETCH(QString, formula);
        QFETCH(QStringList, unknown);
        const QStringList names = {QStringLiteral("单价"), QStringLiteral("数量"), QStringLiteral("本指标")};
        QCOMPARE(IndicatorEditor::unknownReferences(formula, names), unknown);
    }

    void formulaNamingNoIndicatorAsks() {
        QVERIFY(add(Cat, QStringLiteral("单价"), QStringLiteral("Data1"), 1) > 0);
        // A name of another category does not count.
        QVERIFY(add(Other, QStringLiteral("数量"), QStringLiteral("Data1"), 1) > 0);
        IndicatorEditor editor(mApp->database(), IndicatorEditor::IndicatorTable, Cat, -1);
        QVERIFY(editor.load());
        editor.values().PropertyName = QStringLiteral("金额");
        editor.values().CalcStr = QStringLiteral("[单价]*[数量]+[金额]");
        const QString question = QStringLiteral("公式中引用的指标“数量”不是本类别的指标，仍然保存吗？");
        const QString stored = QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?");

        // Going back stores nothing and points at the formula.
        bool nameRejected = true;
        bool formulaRejected = false;
        mMessages.answerQuestion(false);
        QVERIFY(!editor.save(&nameRejected, &formulaRejected));
        QVERIFY(!nameRejected);
        QVERIFY(formulaRejected);
        QCOMPARE(mMessages.texts(), QStringList{question});
        QCOMPARE(mApp->scalar(stored, {Cat}), QStringLiteral("1"));

        mMessages.answerQuestion(true);
        QVERIFY(editor.save(&nameRejected, &formulaRejected));
        QVERIFY(!formulaRejected);
        QCOMPARE(mMessages.texts(), (QStringList{question, question}));
        QCOMPARE(mApp->scalar(QStringLiteral("SELECT CalcStr FROM TDataPara WHERE PropertyName='金额'")),
                 QStringLiteral("[单价]*[数量]+[金额]"));

        // Once the indicator exists, a formula over the category's indicators is saved without a question.
        QVERIFY(add(Cat, QStringLiteral("数量"), QStringLiteral("Data3"), 3) > 0);
        mMessages.clear();
        IndicatorEditor again(mApp->database(), IndicatorEditor::IndicatorTable, Cat, -1);
        QVERIFY(again.load());
        again.values().PropertyName = QStringLiteral("总价");
        again.values().CalcStr = QStringLiteral("[单价]*[数量]");
        QVERIFY(again.save());
        QVERIFY(mMessages.texts().isEmpty());
    }

    void typeChangeSuggestion_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number over a date format")
            << 1 << QStringLiteral("yyyy-MM-dd") << QStringLiteral("99999999999.99");
        QTest::newRow("number keeps its own")
            << 1 << QStringLiteral("99999999999.9999") << QStringLiteral("99999999999.9999");
        QTest::newRow("number over empty") << 1 << QString() << QStringLiteral("99999999999.99");
        QTest::newRow("date keeps its own") << 2 << QStringLiteral("MM/dd/yyyy") << QStringLiteral("MM/dd/yyyy");
        QTest::newRow("date over a number format")
            << 2 << QStringLiteral("99999999999.99") << QStringLiteral("yyyy年MM月dd日");
        QTest::newRow("text keeps anything") << 0 << QStringLiteral("99.9") << QStringLiteral("99.9");
    }

    void typeChangeSuggestion() {
        QFETCH(int, type);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(IndicatorEditor::formatForType(type, format), expected);
    }
};

QTEST_GUILESS_MAIN(tst_IndicatorEditor)
#include "tst_indicatoreditor.moc"

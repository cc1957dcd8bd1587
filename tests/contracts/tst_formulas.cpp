#include "contracts/ContractEntryGrid.h"
#include "contracts/ContractFormulas.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Row = std::array<QString, ContractEntryGrid::ColumnCount>;

namespace {

Row row(const QString &name, const QString &type, const QString &format = QString(), const QString &calc = QString()) {
    Row r;
    r[ContractEntryGrid::ColName] = name;
    r[ContractEntryGrid::ColType] = type;
    r[ContractEntryGrid::ColFormat] = format;
    r[ContractEntryGrid::ColCalcStr] = calc;
    return r;
}

const QString Num = QStringLiteral("数值");
const QString Txt = QStringLiteral("文本");
const QString Dat = QStringLiteral("日期");

} // namespace

class TestFormulas : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        mMessages.clear();
        Messages::setInstance(&mMessages);
    }

    void workedExample() {
        ContractEntryGrid grid;
        grid.setRows({row(u"单价"_s, Num, u"99999999999.99"_s), row(u"数量"_s, Num),
                      row(u"金额"_s, Num, u"99999999999.99"_s, u"[单价]*[数量]"_s),
                      row(u"金额大写"_s, Txt, QString(), u"[MONEY_STOB][金额]"_s),
                      row(u"签订日期"_s, Dat, u"yyyy-MM-dd"_s),
                      row(u"日期大写"_s, Txt, QString(), u"[DATE_STOB][签订日期]"_s)});
        ContractFormulas f(grid);

        grid.setValue(0, u"12.50"_s);
        QVERIFY(f.recalculate(u"单价"_s, u"12.50"_s));
        QCOMPARE(grid.value(2), u"0.00"_s);
        QCOMPARE(grid.value(3), u"零"_s);

        grid.setValue(1, u"4"_s);
        QVERIFY(f.recalculate(u"数量"_s, u"4"_s));
        QCOMPARE(grid.value(2), u"50.00"_s);
        QCOMPARE(grid.value(3), u"伍拾"_s);

        grid.setValue(4, u"2012-02-15"_s);
        QVERIFY(f.recalculate(u"签订日期"_s, u"2012-02-15"_s));
        QCOMPARE(grid.value(5), u"二○一二年二月十五日"_s);
        QVERIFY(mMessages.shown().isEmpty());
    }

    void chainInAnyOrder_data() {
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("A B C") << QList<int>{0, 1, 2};
        QTest::newRow("C B A") << QList<int>{2, 1, 0};
        QTest::newRow("B C A") << QList<int>{1, 2, 0};
        QTest::newRow("C A B") << QList<int>{2, 0, 1};
    }
    void chainInAnyOrder() {
        QFETCH(QList<int>, order);
        const QList<Row> all{row(u"A"_s, Num), row(u"B"_s, Num, u"9.9"_s, u"[A]*2"_s),
                             row(u"C"_s, Num, QString(), u"[B]+1"_s)};
        QList<Row> rows;
        for (int i : order)
            rows.append(all.at(i));
        ContractEntryGrid grid;
        grid.setRows(rows);
        ContractFormulas f(grid);
        grid.setValue(grid.rowOf(u"A"_s), u"3"_s);
        QVERIFY(f.recalculate(u"A"_s, u"3"_s));
        QCOMPARE(grid.value(grid.rowOf(u"B"_s)), u"6.0"_s);
        QCOMPARE(grid.value(grid.rowOf(u"C"_s)), u"7"_s);
    }

    void functionFormulaConvertsTheChangedReference() {
        ContractEntryGrid grid;
        grid.setRows({row(u"甲"_s, Num), row(u"乙"_s, Num),
                      row(u"大写"_s, Txt, QString(), u"  [MONEY_STOB][甲][乙] "_s),
                      row(u"万元"_s, Txt, QString(), u"[MONEY_STOB_W][甲]"_s)});
        ContractFormulas f(grid);
        QVERIFY(f.recalculate(u"乙"_s, u"10.50"_s));
        QCOMPARE(grid.value(2), u"壹拾伍角"_s);
        QCOMPARE(grid.value(3), QString());
        QVERIFY(f.recalculate(u"甲"_s, u"12.5"_s));
        QCOMPARE(grid.value(2), u"壹拾贰伍角"_s);
        QCOMPARE(grid.value(3), u"壹拾贰万伍仟"_s);
    }

    void keywordNotAtStartIsArithmetic() {
        ContractEntryGrid grid;
        grid.setRows({row(u"金额"_s, Num), row(u"结果"_s, Txt, u"999.9"_s, u"1+[MONEY_STOB][金额]"_s)});
        ContractFormulas f(grid);
        QVERIFY(f.recalculate(u"金额"_s, u"5"_s));
        // "[MONEY_STOB]" is a reference to a row that does not exist: 1+05 evaluates as arithmetic.
        QCOMPARE(grid.value(1), u"6.0"_s);
    }

    void emptyOrUnknownReferenceIsZero() {
        ContractEntryGrid grid;
        grid.setRows({row(u"A"_s, Num), row(u"B"_s, Num), row(u"C"_s, Num, QString(), u"[A]+[B]+[无此指标]+7"_s)});
        ContractFormulas f(grid);
        QCOMPARE(f.substituteValues(u"[A]+[B]"_s), u"0+0"_s);
        QVERIFY(f.recalculate(u"A"_s, u"2"_s));
        QCOMPARE(grid.value(2), u"9"_s);
    }

    void dateWrittenWithItsOwnFormat() {
        ContractEntryGrid grid;
        grid.setRows({row(u"D"_s, Dat, u"dd.MM.yyyy"_s), row(u"X"_s, Txt, QString(), u"[DATE_STOB][D]"_s)});
        ContractFormulas f(grid);
        QVERIFY(f.recalculate(u"D"_s, u"01.10.2010"_s));
        QCOMPARE(grid.value(1), u"二○一○年十月一日"_s);
    }

    void badValueReportsTwoLines() {
        ContractEntryGrid grid;
        grid.setRows({row(u"D"_s, Dat), row(u"X"_s, Txt, QString(), u"[DATE_STOB][D]"_s),
                      row(u"Y"_s, Num, QString(), u"[D]+1"_s)});
        grid.setValue(1, u"旧值"_s);
        ContractFormulas f(grid);
        QVERIFY(!f.recalculate(u"D"_s, u"不是日期"_s));
        QCOMPARE(mMessages.shown().size(), 1);
        QVERIFY(
            mMessages.lastText().startsWith(u"自动计算公式出错！请检验扩展参数模板中的计算字段设置！\n错误原因："_s));
        QCOMPARE(grid.value(1), u"旧值"_s);
        // The rest of this level is not evaluated.
        QCOMPARE(grid.value(2), QString());
    }

    void cycleIsReportedAndEnds_data() {
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QString>("changed");
        QTest::addColumn<QString>("loop");
        QTest::newRow("two formulas") << QList<Row>{row(u"A"_s, Num, QString(), u"[B]+1"_s),
                                                    row(u"B"_s, Num, QString(), u"[A]+1"_s)}
                                      << u"A"_s << u"A → B → A"_s;
        QTest::newRow("refers to itself")
            << QList<Row>{row(u"A"_s, Num, QString(), u"[A]*2"_s)} << u"A"_s << u"A → A"_s;
        QTest::newRow("through a third") << QList<Row>{row(u"A"_s, Num), row(u"B"_s, Num, QString(), u"[A]+[C]"_s),
                                                       row(u"C"_s, Num, QString(), u"[B]*2"_s)}
                                         << u"A"_s << u"B → C → B"_s;
    }
    void cycleIsReportedAndEnds() {
        QFETCH(QList<Row>, rows);
        QFETCH(QString, changed);
        QFETCH(QString, loop);
        ContractEntryGrid grid;
        grid.setRows(rows);
        ContractFormulas f(grid);
        grid.setValue(grid.rowOf(changed), u"1"_s);
        f.recalculate(changed, u"1"_s);
        QCOMPARE(mMessages.shown().size(), 1);
        QVERIFY2(mMessages.lastText().contains(loop), qPrintable(mMessages.lastText()));
        QVERIFY(mMessages.lastText().startsWith(u"自动计算公式出错！"_s));
        // The value the user committed is not overwritten by its own loop.
        QCOMPARE(grid.value(grid.rowOf(changed)), u"1"_s);
    }

    void floatFormat_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two decimals") << u"99999999999.99"_s << u"0.00"_s;
        QTest::newRow("four decimals") << u"99999999999.9999"_s << u"0.0000"_s;
        QTest::newRow("empty") << QString() << u"0"_s;
        QTest::newRow("date") << u"yyyy-MM-dd"_s << u"0"_s;
    }
    void floatFormat() {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(ContractFormulas::floatFormat(format), expected);
    }

    void arithmeticRoundsHalvesAway() {
        ContractEntryGrid grid;
        grid.setRows({row(u"A"_s, Num), row(u"B"_s, Num, u"9.99"_s, u"[A]/8"_s)});
        ContractFormulas f(grid);
        QVERIFY(f.recalculate(u"A"_s, u"1"_s)); // 0.125
        QCOMPARE(grid.value(1), u"0.13"_s);
        QVERIFY(mMessages.shown().isEmpty());
    }

    // Formulas written for the old database engine's arithmetic: its functions and its precedence.
    void arithmeticFunctions_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Round to cents, half to even")
            << u"Round([金额]*0.05,2)"_s << u"9.99"_s << u"1250.50"_s << u"62.52"_s;
        QTest::newRow("round in lower case") << u"round([金额]/3,1)"_s << u"9.9"_s << u"10"_s << u"3.3"_s;
        QTest::newRow("Int of a negative") << u"Int(-[金额]/4)"_s << QString() << u"10"_s << u"-3"_s;
        QTest::newRow("Fix of a negative") << u"Fix(-[金额]/4)"_s << QString() << u"10"_s << u"-2"_s;
        QTest::newRow("Abs and Sgn") << u"Abs([金额])*Sgn(-[金额])"_s << QString() << u"6"_s << u"-6"_s;
        QTest::newRow("Sqr") << u"Sqr([金额])"_s << u"9.9"_s << u"2.25"_s << u"1.5"_s;
        QTest::newRow("Mod") << u"[金额] Mod 7"_s << QString() << u"100"_s << u"2"_s;
        QTest::newRow("integer division") << u"[金额]\\7"_s << QString() << u"100"_s << u"14"_s;
        QTest::newRow("negation below power") << u"-[金额]^2"_s << QString() << u"3"_s << u"-9"_s;
    }
    void arithmeticFunctions() {
        QFETCH(QString, formula);
        QFETCH(QString, format);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        ContractEntryGrid grid;
        grid.setRows({row(u"金额"_s, Num), row(u"结果"_s, Num, format, formula)});
        ContractFormulas f(grid);
        grid.setValue(0, value);
        QVERIFY(f.recalculate(u"金额"_s, value));
        QCOMPARE(grid.value(1), expected);
        QVERIFY(mMessages.shown().isEmpty());
    }

    // Amounts are exact to the last digit through arithmetic and into capital digits, however long: no double
    // cuts them to 15 digits or leaves binary remainders of tenths. A null capital is refused as too large (the
    // cell stays empty and the message says so).
    void exactAmounts_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("capital");
        QTest::addColumn<QString>("capitalWan");
        const QString cents = u"99999999999999999999.99"_s;
        const QString twenty = u"9."_s + QString(20, u'9');
        QTest::newRow("long amount plus a fen") << u"12345678901234567.89"_s << u"[A]+0.01"_s << cents
                                                << u"12345678901234567.90"_s << QString() << QString();
        QTest::newRow("long amount times three")
            << u"12345678901234567.89"_s << u"[A]*3"_s << cents << u"37037036703703703.67"_s << QString() << QString();
        QTest::newRow("long amount shared out")
            << u"12345678901234567.88"_s << u"[A]/4"_s << cents << u"3086419725308641.97"_s << QString() << QString();
        QTest::newRow("tenths that binary cannot add")
            << u"0.1"_s << u"[A]+0.2-0.3"_s << twenty << u"0."_s + QString(20, u'0') << u"零"_s << u"零万"_s;
        QTest::newRow("tenths summed") << u"0.1"_s << u"[A]+0.2"_s << twenty << u"0.3"_s + QString(19, u'0')
                                       << u"叁角"_s << u"零万叁仟"_s;
        QTest::newRow("a third to twenty places") << u"1"_s << u"[A]/3"_s << twenty << u"0."_s + QString(20, u'3')
                                                  << u"叁角叁分"_s << u"零万叁仟叁佰叁拾叁"_s;
        QTest::newRow("largest amount in capitals")
            << u"9999999999999.98"_s << u"[A]+0.01"_s << cents << u"9999999999999.99"_s
            << u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖玖角玖分"_s << QString();
        QTest::newRow("largest amount in 万 with eight places")
            << u"999999999.99994999"_s << u"[A]*1"_s << u"9.99999999"_s << u"999999999.99994999"_s << u"壹拾亿"_s
            << u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖"_s;
    }
    void exactAmounts() {
        QFETCH(QString, value);
        QFETCH(QString, formula);
        QFETCH(QString, format);
        QFETCH(QString, result);
        QFETCH(QString, capital);
        QFETCH(QString, capitalWan);
        ContractEntryGrid grid;
        grid.setRows({row(u"A"_s, Num), row(u"B"_s, Num, format, formula),
                      row(u"C"_s, Txt, QString(), u"[MONEY_STOB][B]"_s),
                      row(u"W"_s, Txt, QString(), u"[MONEY_STOB_W][B]"_s)});
        ContractFormulas f(grid);
        grid.setValue(0, value);
        QVERIFY(f.recalculate(u"A"_s, value));
        QCOMPARE(grid.value(1), result);
        QCOMPARE(grid.value(2), capital.isNull() ? QString() : capital);
        QCOMPARE(grid.value(3), capitalWan.isNull() ? QString() : capitalWan);
        const bool refused = capital.isNull() || capitalWan.isNull();
        QCOMPARE(mMessages.shown().size(), refused ? 1 : 0);
        if (refused)
            QVERIFY2(mMessages.lastText().contains(u"超出大写金额的范围"_s), qPrintable(mMessages.lastText()));
    }

    // A formula that cannot be computed is reported once for the change, naming the formula, and leaves its row
    // as it was: it does not pass a 0 off as a result. The same change failing again one level up stays quiet.
    void unreadableArithmeticIsReportedOnce() {
        ContractEntryGrid grid;
        grid.setRows({row(u"A"_s, Num), row(u"B"_s, Num, QString(), u"[A]*2"_s),
                      row(u"C"_s, Num, QString(), u"[A]/0"_s), row(u"D"_s, Num, u"9.99"_s, u"[B]+Avg(1)"_s)});
        grid.setValue(2, u"旧值"_s);
        grid.setValue(3, u"1.00"_s);
        ContractFormulas f(grid);
        QVERIFY(!f.recalculate(u"A"_s, u"3"_s));
        QCOMPARE(mMessages.shown().size(), 1);
        const QString text = mMessages.lastText();
        QVERIFY2(text.startsWith(u"自动计算公式出错！请检验扩展参数模板中的计算字段设置！\n错误原因："_s),
                 qPrintable(text));
        QVERIFY2(text.contains(u"[B]+Avg(1)"_s), qPrintable(text));
        QCOMPARE(grid.value(1), u"6"_s);
        QCOMPARE(grid.value(2), u"旧值"_s);
        QCOMPARE(grid.value(3), u"1.00"_s);

        // The next change is reported again.
        mMessages.clear();
        QVERIFY(!f.recalculate(u"A"_s, u"7/"_s));
        QCOMPARE(mMessages.shown().size(), 1);
        QCOMPARE(grid.value(1), u"6"_s);
    }

private:
    TempAppFolder mFolder;
    ScriptedMessages mMessages;
};

QTEST_GUILESS_MAIN(TestFormulas)
#include "tst_formulas.moc"

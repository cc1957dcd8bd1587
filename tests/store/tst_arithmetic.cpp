#include "store/Arithmetic.h"
#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QtTest>

#include <cmath>

class TestArithmetic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void evaluate_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("true division") << "7/2" << true << 3.5;
        QTest::newRow("unary minus and parentheses") << "-(2+3)*4" << true << -20.0;
        QTest::newRow("precedence") << "1+2*3-4/2" << true << 5.0;
        QTest::newRow("decimals") << "1250.50*2" << true << 2501.0;
        QTest::newRow("leading point") << ".5+1." << true << 1.5;
        QTest::newRow("spaces") << "  3 *  ( 1 + 1 ) " << true << 6.0;
        QTest::newRow("double sign") << "2--3" << true << 5.0;
        QTest::newRow("power right assoc") << "2^3^2" << true << 512.0;
        QTest::newRow("exponent") << "1e3+1" << true << 1001.0;
        QTest::newRow("division by zero") << "1/0" << false << 0.0;
        QTest::newRow("zero by zero") << "0/(1-1)" << false << 0.0;
        QTest::newRow("text") << "abc" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("unbalanced") << "(1+2" << false << 0.0;
        QTest::newRow("trailing operator") << "1+" << false << 0.0;
        QTest::newRow("table read") << "(select count(*) from TContractMain)" << false << 0.0;
        QTest::newRow("statement") << "1; delete from TContractMain" << false << 0.0;
        QTest::newRow("chinese digits") << "１+1" << false << 0.0;
        QTest::newRow("deep nesting") << QString(500, QLatin1Char('(')) + "1" + QString(500, QLatin1Char(')')) << false
                                      << 0.0;
        QTest::newRow("overflow") << "1e308*10" << false << 0.0;

        // Formulas written for the old database engine: its functions and operators, in its precedence.
        QTest::newRow("negation below power") << "-3^2" << true << -9.0;
        QTest::newRow("parenthesised negative base") << "(-3)^2" << true << 9.0;
        QTest::newRow("negative exponent") << "2^-1" << true << 0.5;
        QTest::newRow("power before product") << "2*3^2" << true << 18.0;
        QTest::newRow("product after negation") << "2*-3" << true << -6.0;
        QTest::newRow("Round half to even down") << "Round(2.5)" << true << 2.0;
        QTest::newRow("Round half to even up") << "Round(3.5)" << true << 4.0;
        QTest::newRow("Round negative half") << "Round(-2.5)" << true << -2.0;
        QTest::newRow("Round two places of a share") << "Round(1250.50*0.05,2)" << true << 62.52;
        QTest::newRow("Round half not exact in binary") << "Round(2.675,2)" << true << 2.68;
        QTest::newRow("Round off the half") << "Round(2.6751,2)" << true << 2.68;
        QTest::newRow("lower case round") << "round(1.25,1)" << true << 1.2;
        QTest::newRow("upper case with spaces") << "ROUND ( 1.35 , 1 )" << true << 1.4;
        QTest::newRow("Round negative places") << "Round(12,-1)" << false << 0.0;
        QTest::newRow("Int is floor") << "Int(-2.5)" << true << -3.0;
        QTest::newRow("Fix truncates") << "Fix(-2.5)" << true << -2.0;
        QTest::newRow("Abs") << "Abs(-4.25)" << true << 4.25;
        QTest::newRow("Sgn negative") << "Sgn(-0.1)" << true << -1.0;
        QTest::newRow("Sgn zero") << "sgn(0)" << true << 0.0;
        QTest::newRow("Sqr") << "Sqr(16)" << true << 4.0;
        QTest::newRow("Sqr of negative") << "Sqr(-1)" << false << 0.0;
        QTest::newRow("nested functions") << "Abs(Int(-2.5))+Sqr(Abs(-9))" << true << 6.0;
        QTest::newRow("Mod") << "7 Mod 3" << true << 1.0;
        QTest::newRow("mod lower case") << "7 mod 3" << true << 1.0;
        QTest::newRow("Mod takes the dividend's sign") << "-7 Mod 3" << true << -1.0;
        QTest::newRow("Mod negative divisor") << "7 Mod -3" << true << 1.0;
        QTest::newRow("Mod rounds operands to even") << "7.5 Mod 2" << true << 0.0;
        QTest::newRow("Mod rounds half down to even") << "6.5 Mod 4" << true << 2.0;
        QTest::newRow("Mod below product") << "1+7 Mod 4*2" << true << 8.0;
        QTest::newRow("Mod by zero") << "5 Mod 0" << false << 0.0;
        QTest::newRow("Mod as a function") << "Mod(7,3)" << true << 1.0;
        QTest::newRow("integer division") << "7\\2" << true << 3.0;
        QTest::newRow("integer division toward zero") << "-7\\2" << true << -3.0;
        QTest::newRow("integer division rounds operands") << "7.5\\2" << true << 4.0;
        QTest::newRow("integer division below product") << "10\\3*2" << true << 1.0;
        QTest::newRow("Mod below integer division") << "7 Mod 4\\2" << true << 1.0;
        QTest::newRow("integer division by zero") << "5\\0.4" << false << 0.0;
        QTest::newRow("unknown function") << "Foo(1)" << false << 0.0;
        QTest::newRow("function without arguments") << "Round()" << false << 0.0;
        QTest::newRow("too many arguments") << "Sqr(1,2)" << false << 0.0;
        QTest::newRow("name without parentheses") << "Int 5" << false << 0.0;
        QTest::newRow("Mod without left operand") << "Mod 3" << false << 0.0;
        QTest::newRow("word glued to Mod") << "7 Modx 3" << false << 0.0;
        QTest::newRow("no negative zero") << "Round(-0.4)" << true << 0.0;
    }

    void evaluate() {
        QFETCH(QString, expression);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto result = Arithmetic::evaluate(expression);
        QCOMPARE(result.has_value(), ok);
        if (ok) {
            QCOMPARE(*result, value);
            QVERIFY(!std::signbit(*result) || value < 0);
        }
    }

    // Computed as decimals: every digit of amounts longer than a double holds, sums of tenths that binary cannot
    // write, and a quotient's last rounded digits not cutting a whole number short.
    void exactDecimals_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sum beyond a double") << "12345678901234567.89+0.01"
                                             << "12345678901234567.90";
        QTest::newRow("product beyond a double") << "12345678901234567.89*3"
                                                 << "37037036703703703.67";
        QTest::newRow("tenths") << "0.1+0.2-0.3"
                                << "0";
        QTest::newRow("quotient keeps 34 digits") << "1/3"
                                                  << "0." + QString(34, QLatin1Char('3'));
        QTest::newRow("quotient rounds its last digit") << "2/3"
                                                        << "0." + QString(33, QLatin1Char('6')) + "7";
        QTest::newRow("quotient that ends") << "12345678901234567.88/4"
                                            << "3086419725308641.97";
        QTest::newRow("whole power multiplied out") << "1.1^20"
                                                    << "6.72749994932560009201";
        QTest::newRow("negative power") << "2^-3"
                                        << "0.125";
        QTest::newRow("root of a long square") << "Sqr(15241578753238836.75019051998750190521)"
                                               << "123456789.0123456789";
        QTest::newRow("Int of a third times three") << "Int(10/3*3)"
                                                    << "10";
        QTest::newRow("Round of a half through a quotient") << "Round(11.5/3*3)"
                                                            << "12";
        QTest::newRow("Mod of a long whole number") << "12345678901234567891 Mod 10"
                                                    << "1";
        QTest::newRow("integer division of a long whole number") << "12345678901234567891\\10"
                                                                 << "1234567890123456789";
    }

    void exactDecimals() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        const Arithmetic::Result result = Arithmetic::compute(expression);
        QVERIFY2(result.exact, qPrintable(result.error));
        QVERIFY2(*result.exact == *DecimalText::parse(expected), qPrintable(result.exact->toString()));
    }

    // A value handed in already read is taken as it is where the text reads it as one number; glued to other
    // digits, or after a sign, the text decides as it always did.
    void valuesAlreadyRead_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("expected");
        QTest::newRow("alone") << ""
                               << "12345678901234567.89"
                               << "12345678901234567.89"
                               << "+0.01"
                               << "12345678901234567.90";
        // Shown rounded, held with all its digits: the number is what counts, the text is not read again.
        QTest::newRow("number not read again from its text") << ""
                                                             << "0.33"
                                                             << "0.333333333333333333333"
                                                             << "*3"
                                                             << "0.999999999999999999999";
        QTest::newRow("negative value under a power") << ""
                                                      << "-3"
                                                      << "-3"
                                                      << "^2"
                                                      << "-9";
        // Where the text does not read the value as one number, the text decides (the number here differs only to
        // show which one was used).
        QTest::newRow("glued to digits before") << "1+0"
                                                << "5"
                                                << "7"
                                                << ""
                                                << "6";
        QTest::newRow("glued to an exponent after") << ""
                                                    << "2"
                                                    << "7"
                                                    << "e3"
                                                    << "2000";
        QTest::newRow("blanks around") << "2*"
                                       << " 4.50 "
                                       << "4.5"
                                       << ""
                                       << "9";
    }

    void valuesAlreadyRead() {
        QFETCH(QString, before);
        QFETCH(QString, value);
        QFETCH(QString, number);
        QFETCH(QString, after);
        QFETCH(QString, expected);
        Arithmetic::Expression expression(before);
        expression.append(value, *DecimalText::parse(number));
        expression.append(after);
        QCOMPARE(expression.text(), before + value + after);
        const Arithmetic::Result result = Arithmetic::compute(expression);
        QVERIFY2(result.exact, qPrintable(result.error));
        QVERIFY2(*result.exact == *DecimalText::parse(expected), qPrintable(result.exact->toString()));
    }

    // A failure says why, so the user can mend the formula.
    void failureReason_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("reason");
        QTest::newRow("division by zero") << "1/(2-2)" << QStringLiteral("除数为零");
        QTest::newRow("Mod by zero") << "4 Mod 0" << QStringLiteral("除数为零");
        QTest::newRow("unknown name") << "Avg(1)" << QStringLiteral("不认识的函数或名称：Avg");
        QTest::newRow("argument count") << "Abs(1,2)" << QStringLiteral("函数Abs的参数个数不对");
        QTest::newRow("square root") << "Sqr(-4)" << QStringLiteral("负数不能开平方");
        QTest::newRow("text inserted") << "甲方公司*2" << QStringLiteral("表达式无法识别");
        QTest::newRow("overflow") << "1e308*10" << QStringLiteral("计算结果超出范围");
    }
    void failureReason() {
        QFETCH(QString, expression);
        QFETCH(QString, reason);
        const Arithmetic::Result result = Arithmetic::compute(expression);
        QVERIFY(!result.value);
        QCOMPARE(result.error, reason);
    }

    // The helper the formulas call gives 0 for every failure and never touches the data.
    void arithmeticHelperLeavesDataAlone() {
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        QCOMPARE(Database::instance().evaluateArithmetic(QStringLiteral("7/2")), 3.5);
        QCOMPARE(Database::instance().evaluateArithmetic(QStringLiteral("0; DELETE FROM TContractClass")), 0.0);
        QCOMPARE(Database::instance().evaluateArithmetic(QStringLiteral("(SELECT count(*) FROM TContractClass)")), 0.0);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestArithmetic)
#include "tst_arithmetic.moc"

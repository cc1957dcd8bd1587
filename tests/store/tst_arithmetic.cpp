#include "Arithmetic.h"
#include "TDM.h"
#include "TempAppFolder.h"

#include <QtTest>

class TestArithmetic : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void evaluate_data()
    {
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
        QTest::newRow("deep nesting") << QString(500, QLatin1Char('(')) + "1" + QString(500, QLatin1Char(')'))
                                      << false << 0.0;
        QTest::newRow("overflow") << "1e308*10" << false << 0.0;
    }

    void evaluate()
    {
        QFETCH(QString, expression);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto result = Arithmetic::evaluate(expression);
        QCOMPARE(result.has_value(), ok);
        if (ok)
            QCOMPARE(*result, value);
    }

    // The helper the formulas call gives 0 for every failure and never touches the data.
    void fltHelperLeavesDataAlone()
    {
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        QCOMPARE(TDM::instance().GetFltDataBySQL(QStringLiteral("7/2")), 3.5);
        QCOMPARE(TDM::instance().GetFltDataBySQL(QStringLiteral("0; DELETE FROM TContractClass")), 0.0);
        QCOMPARE(TDM::instance().GetFltDataBySQL(QStringLiteral("(SELECT count(*) FROM TContractClass)")), 0.0);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestArithmetic)
#include "tst_arithmetic.moc"

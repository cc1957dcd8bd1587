#include "text/NumberText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestNumberText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatNumber_data();
    void formatNumber();
    void formatNumberText_data();
    void formatNumberText();
    void textToNumber_data();
    void textToNumber();
    void textToNumberRefuses_data();
    void textToNumberRefuses();
};

void TestNumberText::formatNumber_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    // Halves round away from zero on the decimal value, whatever the nearest double is.
    QTest::newRow("0.125") << 0.125 << u"0.00"_s << u"0.13"_s;
    QTest::newRow("1.005") << 1.005 << u"0.00"_s << u"1.01"_s;
    QTest::newRow("2.675") << 2.675 << u"0.00"_s << u"2.68"_s;
    QTest::newRow("-0.125") << -0.125 << u"0.00"_s << u"-0.13"_s;
    QTest::newRow("1.15 * 3") << 1.15 * 3 << u"0.00"_s << u"3.45"_s;
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << u"0.0000"_s << u"0.3000"_s;
    QTest::newRow("half to whole") << 2.5 << u"0"_s << u"3"_s;
    QTest::newRow("negative half to whole") << -2.5 << u"0"_s << u"-3"_s;
    QTest::newRow("four decimals") << 1.23456 << u"0.0000"_s << u"1.2346"_s;
    QTest::newRow("carry") << 9.995 << u"0.00"_s << u"10.00"_s;
    QTest::newRow("padded") << 50.0 << u"0.00"_s << u"50.00"_s;
    QTest::newRow("no separators") << 1234567.891 << u"0.00"_s << u"1234567.89"_s;
    QTest::newRow("large") << 987654321098.76 << u"0.00"_s << u"987654321098.76"_s;
    QTest::newRow("negative zero has no sign") << -0.001 << u"0.00"_s << u"0.00"_s;
    QTest::newRow("optional decimals") << 1.5 << u"0.##"_s << u"1.5"_s;
    QTest::newRow("optional decimals rounded") << 1.005 << u"0.##"_s << u"1.01"_s;
    QTest::newRow("optional decimals none") << 2.0 << u"0.##"_s << u"2"_s;
    QTest::newRow("optional decimals tiny") << 0.004 << u"0.##"_s << u"0"_s;
    QTest::newRow("general") << 1234.5 << QString() << u"1234.5"_s;
    QTest::newRow("general whole") << 3.0 << QString() << u"3"_s;
    QTest::newRow("not a number") << qQNaN() << u"0.00"_s << u"NAN"_s;
    QTest::newRow("infinity") << -qInf() << u"0.00"_s << u"-INF"_s;
}

void TestNumberText::formatNumber() {
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(FormatNumber(value, format), expected);
}

void TestNumberText::formatNumberText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    QTest::newRow("typed") << u"12.5"_s << u"0.00"_s << u"12.50"_s;
    QTest::newRow("half") << u"2.675"_s << u"0.00"_s << u"2.68"_s;
    QTest::newRow("long half") << u"0.12500000000000000001"_s << u"0.00"_s << u"0.13"_s;
    QTest::newRow("just below half") << u"0.1249999999999999999"_s << u"0.00"_s << u"0.12"_s;
    QTest::newRow("point first") << u".5"_s << u"0"_s << u"1"_s;
    QTest::newRow("negative") << u"-2345.6"_s << u"0.00"_s << u"-2345.60"_s;
    QTest::newRow("exponent") << u"1.2345e2"_s << u"0.00"_s << u"123.45"_s;
}

void TestNumberText::formatNumberText() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    const TextResult<QString> r = FormatNumberText(text, format);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestNumberText::textToNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("whole") << u"456"_s << 456.0;
    QTest::newRow("decimal") << u"1250.50"_s << 1250.5;
    QTest::newRow("point first") << u".5"_s << 0.5;
    QTest::newRow("point last") << u"3."_s << 3.0;
    QTest::newRow("signs") << u"-0.5"_s << -0.5;
    QTest::newRow("plus") << u"+7"_s << 7.0;
    QTest::newRow("exponent") << u"1e3"_s << 1000.0;
    QTest::newRow("blanks around") << u" 12 "_s << 12.0;
    QTest::newRow("clean entry") << u"0.0"_s << 0.0;
}

void TestNumberText::textToNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    const TextResult<double> r = TextToNumber(text);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestNumberText::textToNumberRefuses_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << u" "_s;
    QTest::newRow("point") << u"."_s;
    QTest::newRow("letters") << u"12a"_s;
    QTest::newRow("blank inside") << u"4 5"_s;
    QTest::newRow("comma") << u"1,5"_s;
    QTest::newRow("thousands") << u"1,000"_s;
    QTest::newRow("infinity") << u"inf"_s;
    QTest::newRow("overflow") << u"1e309"_s;
    QTest::newRow("full-width digits") << u"１２"_s;
}

void TestNumberText::textToNumberRefuses() {
    QFETCH(QString, text);
    const TextResult<double> r = TextToNumber(text);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, u"“"_s + text + u"”不是有效的数值。"_s);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"

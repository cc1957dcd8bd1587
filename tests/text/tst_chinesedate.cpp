#include "text/ChineseDate.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestChineseDate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void yearToChinese_data();
    void yearToChinese();
    void monthDayToChinese_data();
    void monthDayToChinese();
    void notANumber_data();
    void notANumber();
    void dateToChinese_data();
    void dateToChinese();
};

void TestChineseDate::yearToChinese_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("2012") << u"2012"_s << u"二○一二"_s;
    QTest::newRow("2000 keeps every zero") << u"2000"_s << u"二○○○"_s;
    QTest::newRow("1999") << u"1999"_s << u"一九九九"_s;
    QTest::newRow("zero") << u"0"_s << u"○"_s;
    QTest::newRow("two digits read like a month") << u"12"_s << u"十二"_s;
    QTest::newRow("rounded to whole") << u"2011.5"_s << u"二○一二"_s;
    QTest::newRow("sign dropped") << u"-2012"_s << u"二○一二"_s;
}

void TestChineseDate::yearToChinese() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const TextResult<QString> r = YearToChinese(input);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestChineseDate::monthDayToChinese_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("01") << u"01"_s << u"一"_s;
    QTest::newRow("9") << u"9"_s << u"九"_s;
    QTest::newRow("10") << u"10"_s << u"十"_s;
    QTest::newRow("12") << u"12"_s << u"十二"_s;
    QTest::newRow("19") << u"19"_s << u"十九"_s;
    QTest::newRow("20") << u"20"_s << u"二十"_s;
    QTest::newRow("30") << u"30"_s << u"三十"_s;
    QTest::newRow("31") << u"31"_s << u"三十一"_s;
    QTest::newRow("zero is empty") << u"0"_s << QString();
}

void TestChineseDate::monthDayToChinese() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const TextResult<QString> r = MonthDayToChinese(input);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestChineseDate::notANumber_data() {
    QTest::addColumn<QString>("input");
    QTest::newRow("empty") << QString();
    QTest::newRow("letters") << u"二月"_s;
    QTest::newRow("date") << u"2012-02-15"_s;
}

void TestChineseDate::notANumber() {
    QFETCH(QString, input);
    const QString message = u"“"_s + input + u"”不是有效的数值。"_s;
    const TextResult<QString> year = YearToChinese(input);
    QVERIFY(!year.ok);
    QCOMPARE(year.error, message);
    const TextResult<QString> day = MonthDayToChinese(input);
    QVERIFY(!day.ok);
    QCOMPARE(day.error, message);
}

void TestChineseDate::dateToChinese_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");

    QTest::newRow("15 February 2012") << QDate(2012, 2, 15) << u"二○一二年二月十五日"_s;
    QTest::newRow("1 October 2010") << QDate(2010, 10, 1) << u"二○一○年十月一日"_s;
    QTest::newRow("30 December 2009") << QDate(2009, 12, 30) << u"二○○九年十二月三十日"_s;
    QTest::newRow("20 November 2000") << QDate(2000, 11, 20) << u"二○○○年十一月二十日"_s;
    QTest::newRow("invalid") << QDate() << QString();
}

void TestChineseDate::dateToChinese() {
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(DateToChinese(date), expected);
}

QTEST_GUILESS_MAIN(TestChineseDate)
#include "tst_chinesedate.moc"

#include "text/DateText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestDateText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dateTimeToText_data();
    void dateTimeToText();
    void textToDateTime_data();
    void textToDateTime();
    void textToDateTimeRefuses_data();
    void textToDateTimeRefuses();
    void writtenTextReadsBack_data();
    void writtenTextReadsBack();
};

void TestDateText::dateTimeToText_data() {
    QTest::addColumn<QDateTime>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QDateTime morning(QDate(2012, 2, 5), QTime(9, 7, 3));
    const QDateTime midnight(QDate(2012, 2, 15), QTime(0, 0));

    QTest::newRow("iso") << morning << u"yyyy-MM-dd"_s << u"2012-02-05"_s;
    QTest::newRow("chinese") << morning << u"yyyy年MM月dd日"_s << u"2012年02月05日"_s;
    QTest::newRow("american") << morning << u"MM/dd/yyyy"_s << u"02/05/2012"_s;
    QTest::newRow("empty with time") << morning << QString() << u"2012/2/5 9:07:03"_s;
    QTest::newRow("empty at midnight") << midnight << QString() << u"2012/2/15"_s;
    QTest::newRow("lower-case mm is the month") << morning << u"yyyy-mm-dd"_s << u"2012-02-05"_s;
    QTest::newRow("mm after an hour is the minute") << morning << u"yyyy-MM-dd hh:mm:ss"_s << u"2012-02-05 09:07:03"_s;
    QTest::newRow("nn is the minute") << morning << u"hh:nn"_s << u"09:07"_s;
    QTest::newRow("single letters") << morning << u"yyyy.m.d"_s << u"2012.2.5"_s;
    QTest::newRow("letters Qt would read stay literal") << morning << u"yyyy 'at' t"_s << u"2012 at t"_s;
    QTest::newRow("quoted literal") << morning << u"\"day\" d"_s << u"day 5"_s;
    QTest::newRow("invalid") << QDateTime() << u"yyyy-MM-dd"_s << QString();
}

void TestDateText::dateTimeToText() {
    QFETCH(QDateTime, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(DateTimeToText(value, format), expected);
}

void TestDateText::textToDateTime_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QDateTime>("expected");

    const QDateTime day(QDate(2012, 2, 15), QTime(0, 0));
    QTest::newRow("iso") << u"2012-02-15"_s << QString() << day;
    QTest::newRow("iso short") << u"2012-2-15"_s << QString() << day;
    QTest::newRow("american") << u"02/15/2012"_s << QString() << day;
    QTest::newRow("short date") << u"2012/2/15"_s << QString() << day;
    QTest::newRow("chinese") << u"2012年02月15日"_s << QString() << day;
    QTest::newRow("chinese short") << u"2012年2月15日"_s << QString() << day;
    QTest::newRow("short date and time") << u"2012/2/15 9:07:03"_s << QString()
                                         << QDateTime(QDate(2012, 2, 15), QTime(9, 7, 3));
    QTest::newRow("iso and time without seconds")
        << u"2012-02-15 23:59"_s << QString() << QDateTime(QDate(2012, 2, 15), QTime(23, 59));
    QTest::newRow("blanks around") << u"  2012-02-15 "_s << QString() << day;
    QTest::newRow("leap day") << u"2012-02-29"_s << QString() << QDateTime(QDate(2012, 2, 29), QTime(0, 0));
    QTest::newRow("indicator format") << u"15.02.2012"_s << u"dd.mm.yyyy"_s << day;
}

void TestDateText::textToDateTime() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(QDateTime, expected);
    const TextResult<QDateTime> r = TextToDateTime(text, format);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestDateText::textToDateTimeRefuses_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("words") << u"明天"_s;
    QTest::newRow("number") << u"12.5"_s;
    QTest::newRow("no such day") << u"2011-02-29"_s;
    QTest::newRow("month 13") << u"2012-13-01"_s;
    QTest::newRow("day first is not a form") << u"15/02/2012"_s;
    QTest::newRow("hour 24") << u"2012-02-15 24:00"_s;
    QTest::newRow("trailing text") << u"2012-02-15x"_s;
}

void TestDateText::textToDateTimeRefuses() {
    QFETCH(QString, text);
    const TextResult<QDateTime> r = TextToDateTime(text);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, u"“"_s + text + u"”不是有效的日期。"_s);
}

void TestDateText::writtenTextReadsBack_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("iso") << u"yyyy-MM-dd"_s;
    QTest::newRow("chinese") << u"yyyy年MM月dd日"_s;
    QTest::newRow("american") << u"MM/dd/yyyy"_s;
    QTest::newRow("empty") << QString();
}

void TestDateText::writtenTextReadsBack() {
    QFETCH(QString, format);
    for (const QDateTime &value :
         {QDateTime(QDate(2009, 12, 30), QTime(0, 0)), QDateTime(QDate(2010, 1, 1), QTime(0, 0)),
          QDateTime(QDate(2012, 2, 29), QTime(0, 0))}) {
        const QString text = DateTimeToText(value, format);
        const TextResult<QDateTime> back = TextToDateTime(text);
        QVERIFY2(back.ok, qPrintable(back.error));
        QCOMPARE(back.value, value);
    }
    // The empty format keeps the time of day too.
    const QDateTime evening(QDate(2012, 2, 15), QTime(18, 30, 45));
    if (format.isEmpty())
        QCOMPARE(TextToDateTime(DateTimeToText(evening, format)).value, evening);
}

QTEST_GUILESS_MAIN(TestDateText)
#include "tst_datetext.moc"

#include "text/ChineseMoney.h"

#include <QRandomGenerator>
#include <QTest>

#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Reads a capital amount back into 分, independently of how it was written: every digit is placed by the units
// that follow it, the places must fall strictly from left to right, a 零 stands only before a digit, 万 closes a
// group once below each 亿, and 亿 comes twice only after the compound 万亿.
std::optional<qint64> readCapital(QString text) {
    static const QString digits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    const bool debt = text.startsWith(u'欠');
    if (debt)
        text.remove(0, 1);
    if (text == u"零")
        return 0;

    struct Placed {
        int digit;
        int place; // power of ten in 分
    };
    std::vector<Placed> done;    // digits whose place is final
    std::vector<Placed> section; // digits below the next 万 or 亿, places relative to it
    std::vector<Placed> wanPart; // digits below the next 亿 that already took their 万
    int pending = -1;            // a digit still waiting for its unit
    bool wanClosed = false;      // this group below 亿 already had its 万
    int yiCount = 0;
    bool yiAfterWan = false; // the first 亿 was the compound 万亿
    QChar previous;

    const auto settlePending = [&](int place) {
        if (pending < 0)
            return false;
        section.push_back({pending, place});
        pending = -1;
        return true;
    };
    const auto shift = [](std::vector<Placed> &from, std::vector<Placed> &to, int by) {
        for (Placed p : from)
            to.push_back({p.digit, p.place + by});
        from.clear();
    };

    for (QChar c : text) {
        const qsizetype d = digits.indexOf(c);
        if (previous == u'零' && d <= 0)
            return std::nullopt;
        previous = c;
        if (d == 0) {
            if (pending >= 0 && !settlePending(2))
                return std::nullopt;
            continue;
        }
        if (d > 0) {
            if (pending >= 0)
                settlePending(2); // a digit without unit followed by a digit: the units digit
            pending = int(d);
            continue;
        }
        if (c == u'拾' || c == u'佰' || c == u'仟') {
            const int place = c == u'拾' ? 3 : c == u'佰' ? 4 : 5;
            if (!settlePending(place))
                return std::nullopt;
        } else if (c == u'万') {
            settlePending(2);
            if (section.empty() || wanClosed)
                return std::nullopt;
            shift(section, wanPart, 4);
            wanClosed = true;
        } else if (c == u'亿') {
            settlePending(2);
            if (section.empty() && wanPart.empty())
                return std::nullopt;
            if (yiCount == 1 && !yiAfterWan)
                return std::nullopt;
            if (yiCount == 0)
                yiAfterWan = section.empty();
            if (++yiCount > 2)
                return std::nullopt;
            wanClosed = false;
            shift(section, wanPart, 0);
            shift(wanPart, done, 8);
        } else if (c == u'角' || c == u'分') {
            if (pending < 0)
                return std::nullopt;
            shift(section, wanPart, 0);
            shift(wanPart, done, 0);
            done.push_back({pending, c == u'角' ? 1 : 0});
            pending = -1;
        } else {
            return std::nullopt;
        }
    }
    if (previous == u'零')
        return std::nullopt;
    settlePending(2);
    shift(section, wanPart, 0);
    shift(wanPart, done, 0);

    qint64 fen = 0;
    int lastPlace = 99;
    for (const Placed &p : done) {
        if (p.place >= lastPlace)
            return std::nullopt;
        lastPlace = p.place;
        qint64 unit = 1;
        for (int i = 0; i < p.place; ++i)
            unit *= 10;
        fen += p.digit * unit;
    }
    return debt ? -fen : fen;
}

QString amountText(qint64 fen) {
    const qint64 a = fen < 0 ? -fen : fen;
    return QStringLiteral("%1%2.%3")
        .arg(fen < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QChar(u'0'));
}

} // namespace

class TestChineseMoney : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void moneyToCapital_data();
    void moneyToCapital();
    void moneyToCapitalFailures_data();
    void moneyToCapitalFailures();
    void moneyToCapitalReadsBack();
    void moneyOfDecimal_data();
    void moneyOfDecimal();
    void moneyWanToCapital_data();
    void moneyWanToCapital();
    void moneyWanToCapitalFailures();
};

void TestChineseMoney::moneyToCapital_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << u"0.00"_s << u"零"_s;
    QTest::newRow("plain zero") << u"0"_s << u"零"_s;
    QTest::newRow("one") << u"1.00"_s << u"壹"_s;
    QTest::newRow("ten") << u"10.00"_s << u"壹拾"_s;
    QTest::newRow("zero tens") << u"101.00"_s << u"壹佰零壹"_s;
    QTest::newRow("zero units") << u"110.00"_s << u"壹佰壹拾"_s;
    QTest::newRow("two zeros") << u"1001.00"_s << u"壹仟零壹"_s;
    QTest::newRow("zero thousands") << u"10010.00"_s << u"壹万零壹拾"_s;
    QTest::newRow("zero wan") << u"105000.00"_s << u"壹拾万零伍仟"_s;
    QTest::newRow("zero in wan group") << u"1010000.00"_s << u"壹佰零壹万"_s;
    QTest::newRow("wan on thousands") << u"20000000.00"_s << u"贰仟万"_s;
    QTest::newRow("yi and units") << u"100000001.00"_s << u"壹亿零壹"_s;
    QTest::newRow("yi on tens") << u"1000010000.00"_s << u"壹拾亿零壹万"_s;
    QTest::newRow("zeros everywhere") << u"102003004.05"_s << u"壹亿零贰佰万零叁仟零肆零伍分"_s;
    QTest::newRow("every place") << u"987654321098.76"_s << u"玖仟捌佰柒拾陆亿伍仟肆佰叁拾贰万壹仟零玖拾捌柒角陆分"_s;
    QTest::newRow("wan yi") << u"1000100000000.00"_s << u"壹万亿零壹亿"_s;
    QTest::newRow("wan and jiao fen") << u"23456.78"_s << u"贰万叁仟肆佰伍拾陆柒角捌分"_s;
    QTest::newRow("zero units before jiao") << u"10.50"_s << u"壹拾伍角"_s;
    QTest::newRow("zero jiao before fen") << u"10.05"_s << u"壹拾零伍分"_s;
    QTest::newRow("fen only") << u"0.05"_s << u"伍分"_s;
    QTest::newRow("debt") << u"-2345.60"_s << u"欠贰仟叁佰肆拾伍陆角"_s;
    QTest::newRow("units then jiao") << u"3.10"_s << u"叁壹角"_s;
    QTest::newRow("yi on tens alone") << u"1200000000.00"_s << u"壹拾贰亿"_s;
    QTest::newRow("hundreds zero jiao fen") << u"100.05"_s << u"壹佰零伍分"_s;
    QTest::newRow("jiao only") << u"0.50"_s << u"伍角"_s;
    QTest::newRow("largest") << u"9999999999999.99"_s
                             << u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖玖角玖分"_s;
    QTest::newRow("wan yi alone") << u"1000000000000"_s << u"壹万亿"_s;
    QTest::newRow("qian yi alone") << u"300000000000"_s << u"叁仟亿"_s;
    QTest::newRow("wan qian yi") << u"1100000000000"_s << u"壹万壹仟亿"_s;

    // A zero that is neither "0" nor "0.00" keeps the written pieces: nothing, or 欠 alone for a debt.
    QTest::newRow("rounds to zero") << u"0.001"_s << QString();
    QTest::newRow("debt rounds to zero") << u"-0.001"_s << u"欠"_s;

    QTest::newRow("half fen rounds up") << u"0.005"_s << u"壹分"_s;
    QTest::newRow("half fen of a debt rounds away") << u"-1.005"_s << u"欠壹零壹分"_s;
    QTest::newRow("rounding carries into yuan") << u"9.995"_s << u"壹拾"_s;
    QTest::newRow("no decimals") << u"1234"_s << u"壹仟贰佰叁拾肆"_s;
    QTest::newRow("blanks around") << u" 12.50 "_s << u"壹拾贰伍角"_s;
    QTest::newRow("exponent") << u"1.5e3"_s << u"壹仟伍佰"_s;
}

void TestChineseMoney::moneyToCapital() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const TextResult<QString> r = MoneyToCapital(input);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestChineseMoney::moneyToCapitalFailures_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("error");

    QTest::newRow("letters") << u"abc"_s << u"“abc”不是有效的数值。"_s;
    QTest::newRow("empty") << QString() << u"“”不是有效的数值。"_s;
    QTest::newRow("thousands separator") << u"1,000.00"_s << u"“1,000.00”不是有效的数值。"_s;
    QTest::newRow("two points") << u"1.2.3"_s << u"“1.2.3”不是有效的数值。"_s;
    QTest::newRow("ten wan yi") << u"10000000000000.00"_s
                                << u"金额“10000000000000.00”超出大写金额的范围（须小于10000000000000元）。"_s;
    QTest::newRow("rounds up to ten wan yi")
        << u"-9999999999999.995"_s << u"金额“-9999999999999.995”超出大写金额的范围（须小于10000000000000元）。"_s;
}

void TestChineseMoney::moneyToCapitalFailures() {
    QFETCH(QString, input);
    QFETCH(QString, error);
    const TextResult<QString> r = MoneyToCapital(input);
    QVERIFY(!r.ok);
    QVERIFY(r.value.isEmpty());
    QCOMPARE(r.error, error);
}

void TestChineseMoney::moneyToCapitalReadsBack() {
    std::vector<qint64> amounts;
    for (qint64 fen = 0; fen <= 100000; ++fen) // every amount up to 1000 yuan
        amounts.push_back(fen);
    for (qint64 yuan = 1000; yuan <= 100000; ++yuan) // every whole amount across the 万 group
        amounts.push_back(yuan * 100);
    QRandomGenerator random(20121215);
    for (int i = 0; i < 50000; ++i) {
        // Digits drawn with many zeros, so that runs of zeros meet every place and group boundary.
        const int length = random.bounded(1, 16);
        qint64 fen = 0;
        for (int d = 0; d < length; ++d)
            fen = fen * 10 + (random.bounded(2) == 0 ? 0 : random.bounded(1, 10));
        amounts.push_back(fen);
        amounts.push_back(qint64(random.bounded(1000000000000000.0)));
    }

    for (qint64 fen : amounts) {
        // Debts are checked on a share of the amounts; they only add the 欠.
        for (qint64 signedFen : {fen, -fen}) {
            if (signedFen < 0 && (fen == 0 || fen % 7 != 0))
                continue;
            const QString input = amountText(signedFen);
            const TextResult<QString> r = MoneyToCapital(input);
            QVERIFY2(r.ok, qPrintable(input + u' ' + r.error));
            const QString &text = r.value;
            const std::optional<qint64> back = readCapital(text);
            QVERIFY2(back.has_value(), qPrintable(input + u" does not read: " + text));
            QVERIFY2(*back == signedFen,
                     qPrintable(input + u" reads back as " + QString::number(*back) + u": " + text));
            QVERIFY2(!text.contains(u"零零"), qPrintable(input + u": " + text));
            const QString unsignedText = text.startsWith(u'欠') ? text.mid(1) : text;
            if (unsignedText != u"零") {
                QVERIFY2(!unsignedText.startsWith(u'零') && !unsignedText.endsWith(u'零'),
                         qPrintable(input + u": " + text));
                QVERIFY2(!unsignedText.isEmpty(), qPrintable(input));
            }
        }
    }
}

// An amount already read is rounded to the 分 (or, in 万, to the yuan) on all its digits, and one that rounds to
// nothing is 零 without 欠.
void TestChineseMoney::moneyOfDecimal_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("capital");
    QTest::addColumn<QString>("capitalWan");

    QTest::newRow("rounds to zero") << u"0.00001"_s << u"零"_s << u"零万"_s;
    QTest::newRow("debt rounds to zero") << u"-0.00001"_s << u"零"_s << u"零万"_s;
    QTest::newRow("debt") << u"-12.5"_s << u"欠壹拾贰伍角"_s << u"欠壹拾贰万伍仟"_s;
    QTest::newRow("more digits than a double holds")
        << u"9999999999999.994999999"_s << u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖玖角玖分"_s << QString();
    QTest::newRow("万 with more digits than a double holds")
        << u"999999999.99994999999"_s << u"壹拾亿"_s << u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖"_s;
}

void TestChineseMoney::moneyOfDecimal() {
    QFETCH(QString, amount);
    QFETCH(QString, capital);
    QFETCH(QString, capitalWan);
    const DecimalText value = *DecimalText::parse(amount);
    const TextResult<QString> r = MoneyToCapital(value);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, capital);
    const TextResult<QString> wan = MoneyWanToCapital(value);
    // A null capital in 万 is beyond what the capital units write.
    QCOMPARE(wan.ok, !capitalWan.isNull());
    QCOMPARE(wan.value, capitalWan.isNull() ? QString() : capitalWan);
}

void TestChineseMoney::moneyWanToCapital_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("whole") << 12.0 << u"壹拾贰万"_s;
    QTest::newRow("half") << 12.5 << u"壹拾贰万伍仟"_s;
    QTest::newRow("zero thousands") << 12.05 << u"壹拾贰万零伍佰"_s;
    QTest::newRow("yuan only") << 12.0005 << u"壹拾贰万零伍"_s;
    QTest::newRow("four decimals") << 12.4567 << u"壹拾贰万肆仟伍佰陆拾柒"_s;
    QTest::newRow("below one") << 0.5 << u"零万伍仟"_s;
    QTest::newRow("yi") << 12000.0 << u"壹亿贰仟万"_s;
    QTest::newRow("one yi") << 10000.0 << u"壹亿万"_s;
    QTest::newRow("three decimals") << 23456.789 << u"贰亿叁仟肆佰伍拾陆万柒仟捌佰玖拾"_s;
    QTest::newRow("zero") << 0.0 << u"零万"_s;

    // A fraction that rounds away at four decimals leaves the whole 万; one that rounds to a whole carries.
    QTest::newRow("fraction rounds to zero") << 12.00001 << u"壹拾贰万"_s;
    QTest::newRow("fraction rounds to one") << 12.99999 << u"壹拾叁万"_s;
    QTest::newRow("half a yuan rounds up") << 12.00005 << u"壹拾贰万零壹"_s;

    QTest::newRow("debt") << -12.5 << u"欠壹拾贰万伍仟"_s;
    QTest::newRow("debt rounds to zero") << -0.00001 << u"零万"_s;

    // From 10^8 units the amount is 万亿 and is written as yuan.
    QTest::newRow("wan yi") << 100000000.0 << u"壹万亿"_s;
    QTest::newRow("wan yi with fraction") << 123456789.05 << u"壹万贰仟叁佰肆拾伍亿陆仟柒佰捌拾玖万零伍佰"_s;
    QTest::newRow("largest") << 999999999.9999 << u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖"_s;
}

void TestChineseMoney::moneyWanToCapital() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    const TextResult<QString> r = MoneyWanToCapital(value);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, expected);
}

void TestChineseMoney::moneyWanToCapitalFailures() {
    QVERIFY(!MoneyWanToCapital(1000000000.0).ok);
    QVERIFY(!MoneyWanToCapital(-1e20).ok);
    QVERIFY(!MoneyWanToCapital(qInf()).ok);
    const TextResult<QString> nan = MoneyWanToCapital(qQNaN());
    QVERIFY(!nan.ok);
    QVERIFY(!nan.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestChineseMoney)
#include "tst_chinesemoney.moc"

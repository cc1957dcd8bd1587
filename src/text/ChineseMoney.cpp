#include "text/ChineseMoney.h"

#include "text/DecimalText.h"
#include "text/NumberText.h"

#include <QStringList>

#include <array>

namespace {

constexpr std::array<char16_t, 10> capitalDigits = {u'零', u'壹', u'贰', u'叁', u'肆',
                                                    u'伍', u'陆', u'柒', u'捌', u'玖'};

// The capital units stop at 万亿, the thirteenth integer place.
constexpr int maxIntegerDigits = 13;

// The unit of each character of the digit text, numbered from the right (1 the 分, 3 the point, 4 the units).
// A place that can close its group writes the group word when the places from emptyFrom to emptyTo write nothing.
struct Place {
    const char16_t *unit;
    const char16_t *groupUnit = nullptr;
    int emptyFrom = 0;
    int emptyTo = 0;
};
const Place places[maxIntegerDigits + 4] = {
    {u""},
    {u"分"},
    {u"角"},
    {u""},
    {u""},
    {u"拾"},
    {u"佰"},
    {u"仟"},
    {u"万"},
    {u"拾", u"拾万", 8, 8},
    {u"佰", u"佰万", 8, 9},
    {u"仟", u"仟万", 8, 10},
    {u"亿"},
    {u"拾", u"拾亿", 12, 12},
    {u"佰", u"佰亿", 12, 13},
    {u"仟", u"仟亿", 12, 14},
    {u"万", u"万亿", 13, 15},
};

QString tooLargeMessage(const QString &amount) {
    return QStringLiteral("金额“%1”超出大写金额的范围（须小于10000000000000元）。").arg(amount);
}

bool isEmptyPiece(const QString &piece) {
    return piece.isEmpty() || piece == u"零";
}

// Writes the digits of an amount with exactly two decimals ("105000.00", at most 13 integer digits), one piece per
// character from the right.
QString capitalOf(const QString &digits) {
    const qsizetype count = digits.size();
    QStringList pieces(count + 1); // pieces[k] for k = 1 (the 分 digit) .. count

    // A single 零 stands for a run of zeros only where the piece to its right is written.
    const auto zero = [&pieces](int k) { return isEmptyPiece(pieces[k - 1]) ? QString() : QStringLiteral("零"); };
    // The group word goes on the lowest non-zero place of its group when the places below it are all zero.
    const auto allEmpty = [&pieces](int from, int to) {
        for (int k = from; k <= to; ++k) {
            if (!isEmptyPiece(pieces[k]))
                return false;
        }
        return true;
    };

    for (int k = 1; k <= count; ++k) {
        const QChar ch = digits.at(count - k);
        if (k == 3)
            continue; // the decimal point
        const int d = ch.digitValue();
        const QString c = QChar(capitalDigits[d]);
        QString &piece = pieces[k];
        if (d == 0) {
            if (k == 1 || k == 4)
                piece.clear(); // a zero 分 and a zero units digit never write anything
            else
                piece = zero(k);
            continue;
        }
        const Place &place = places[k];
        const bool closesGroup = place.groupUnit != nullptr && allEmpty(place.emptyFrom, place.emptyTo);
        piece = c + QStringView(closesGroup ? place.groupUnit : place.unit);
    }

    QString joined;
    for (qsizetype k = count; k >= 1; --k)
        joined += pieces[k];
    if (joined.startsWith(u'零'))
        joined.remove(0, 1);
    return joined;
}

// The amount rounded to the 分 in capital digits; `shown` is the amount as named in a message.
TextResult<QString> capitalOfAmount(const DecimalText &amount, const QString &shown) {
    const DecimalText cents = amount.absolute().rounded(2);
    if (cents.integerDigits().size() > maxIntegerDigits)
        return TextResult<QString>::failure(tooLargeMessage(shown));

    QString result = capitalOf(cents.toString());
    // The sign is the one of the amount as written: -0.001 is still a debt even though it shows no 分.
    if (amount.isNegative())
        result.prepend(u'欠');
    return TextResult<QString>::success(result);
}

} // namespace

TextResult<QString> MoneyToCapital(const QString &text) {
    if (text == u"0" || text == u"0.00")
        return TextResult<QString>::success(QStringLiteral("零"));

    const std::optional<DecimalText> amount = DecimalText::parse(text);
    if (!amount)
        return TextResult<QString>::failure(NotANumberMessage(text));
    return capitalOfAmount(*amount, text.trimmed());
}

TextResult<QString> MoneyToCapital(const DecimalText &amount) {
    const DecimalText fen = amount.rounded(2);
    if (fen.isZero())
        return TextResult<QString>::success(QStringLiteral("零"));
    return capitalOfAmount(fen, fen.toString());
}

TextResult<QString> MoneyWanToCapital(double value) {
    const std::optional<DecimalText> exact = DecimalText::fromDouble(value);
    if (!exact)
        return TextResult<QString>::failure(NotANumberMessage(QString::number(value)));
    return MoneyWanToCapital(*exact);
}

TextResult<QString> MoneyWanToCapital(const DecimalText &amount) {
    // Rounding the whole value first lets a fraction that rounds up carry into the 万 (12.99999 is 13 万).
    const DecimalText wan = amount.absolute().rounded(4);
    const DecimalText units = wan.truncated();
    if (units.integerDigits().size() > maxIntegerDigits - 4)
        return TextResult<QString>::failure(
            tooLargeMessage((amount.isNegative() ? QStringLiteral("-") : QString()) + wan.toString()));
    const DecimalText tenThousand = DecimalText::fromInteger(10000);
    const DecimalText below = (wan - units) * tenThousand; // the yuan below 10 000

    QString result;
    if (units.integerDigits().size() > 8) {
        // From 10^8 units of 10 000 on, the amount is 万亿 and the exchange of 万 for 亿 below would give a second
        // 亿; the amount in yuan is written directly, which reads the same way.
        TextResult<QString> yuan = MoneyToCapital(wan * tenThousand);
        if (!yuan)
            return yuan;
        result = yuan.value;
    } else {
        TextResult<QString> whole = MoneyToCapital(units);
        if (!whole)
            return whole;
        result = whole.value;
        // The first 万 of the units counts 10 000 times 10 000.
        const qsizetype wanAt = result.indexOf(u'万');
        if (wanAt >= 0)
            result[wanAt] = u'亿';
        if (below.isZero()) {
            result += u'万';
        } else {
            TextResult<QString> rest = MoneyToCapital(below);
            if (!rest)
                return rest;
            result +=
                (below < DecimalText::fromInteger(1000) ? QStringLiteral("万零") : QStringLiteral("万")) + rest.value;
        }
    }
    if (!wan.isZero() && amount.isNegative())
        result.prepend(u'欠');
    return TextResult<QString>::success(result);
}

#include "text/DecimalText.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>

#include <cmath>
#include <utility>

namespace {
// Exponents beyond this are far outside what a double holds; refusing them keeps the digit strings small.
constexpr int maxExponent = 400;

// Whole numbers as strings of decimal digits, most significant first, as DecimalText holds them.

int digitAt(const QString &digits, qsizetype i) {
    return digits.at(i).unicode() - u'0';
}

QString withoutLeadingZeros(const QString &digits) {
    qsizetype lead = 0;
    while (lead < digits.size() - 1 && digits.at(lead) == u'0')
        ++lead;
    return lead == 0 ? digits : digits.mid(lead);
}

int compareWhole(const QString &a, const QString &b) {
    const QString x = withoutLeadingZeros(a);
    const QString y = withoutLeadingZeros(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    const int c = x.compare(y);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

QString addWhole(const QString &a, const QString &b) {
    QString out;
    out.reserve(qMax(a.size(), b.size()) + 1);
    int carry = 0;
    for (qsizetype i = a.size() - 1, j = b.size() - 1; i >= 0 || j >= 0 || carry; --i, --j) {
        const int d = (i >= 0 ? digitAt(a, i) : 0) + (j >= 0 ? digitAt(b, j) : 0) + carry;
        out.append(QChar(u'0' + d % 10));
        carry = d / 10;
    }
    std::reverse(out.begin(), out.end());
    return withoutLeadingZeros(out.isEmpty() ? QStringLiteral("0") : out);
}

// a - b for a >= b.
QString subtractWhole(const QString &a, const QString &b) {
    QString out = a;
    int borrow = 0;
    for (qsizetype i = a.size() - 1, j = b.size() - 1; i >= 0; --i, --j) {
        int d = digitAt(a, i) - (j >= 0 ? digitAt(b, j) : 0) - borrow;
        borrow = d < 0 ? 1 : 0;
        if (d < 0)
            d += 10;
        out[i] = QChar(u'0' + d);
    }
    return withoutLeadingZeros(out);
}

QString multiplyWhole(const QString &a, const QString &b) {
    QList<int> places(a.size() + b.size(), 0);
    for (qsizetype i = a.size() - 1; i >= 0; --i) {
        const int x = digitAt(a, i);
        if (x == 0)
            continue;
        for (qsizetype j = b.size() - 1; j >= 0; --j)
            places[i + j + 1] += x * digitAt(b, j);
    }
    for (qsizetype k = places.size() - 1; k > 0; --k) {
        places[k - 1] += places[k] / 10;
        places[k] %= 10;
    }
    QString out;
    out.reserve(places.size());
    for (int d : places)
        out.append(QChar(u'0' + d));
    return withoutLeadingZeros(out);
}

// Long division of whole numbers; b is not zero. Gives the quotient and the remainder.
std::pair<QString, QString> divideWhole(const QString &a, const QString &b) {
    const QString divisor = withoutLeadingZeros(b);
    QString quotient;
    quotient.reserve(a.size());
    QString rest = QStringLiteral("0");
    for (QChar c : a) {
        rest = withoutLeadingZeros(rest + c);
        int q = 0;
        while (compareWhole(rest, divisor) >= 0) {
            rest = subtractWhole(rest, divisor);
            ++q;
        }
        quotient.append(QChar(u'0' + q));
    }
    return {withoutLeadingZeros(quotient.isEmpty() ? QStringLiteral("0") : quotient), rest};
}

bool allZeros(QStringView digits) {
    for (QChar c : digits) {
        if (c != u'0')
            return false;
    }
    return true;
}

// Digit by digit, as on paper: gives the whole square root and whether it is exact.
std::pair<QString, bool> squareRootWhole(QString digits) {
    if (digits.size() % 2 != 0)
        digits.prepend(u'0');
    QString root = QStringLiteral("0");
    QString rest = QStringLiteral("0");
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        rest = withoutLeadingZeros(rest + digits.mid(i, 2));
        const QString twice = multiplyWhole(root, QStringLiteral("20"));
        int x = 9;
        QString taken;
        for (; x > 0; --x) {
            taken = multiplyWhole(addWhole(twice, QString(QChar(u'0' + x))), QString(QChar(u'0' + x)));
            if (compareWhole(taken, rest) <= 0)
                break;
        }
        if (x > 0)
            rest = subtractWhole(rest, taken);
        root = withoutLeadingZeros(root + QChar(u'0' + x));
    }
    return {root, allZeros(rest)};
}

} // namespace

std::optional<DecimalText> DecimalText::parse(QStringView text) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([+-]?)(?:(\d+)(?:\.(\d*))?|\.(\d+))(?:[eE]([+-]?\d{1,6}))?$)"));
    const QStringView trimmed = text.trimmed();
    const QRegularExpressionMatch m = pattern.match(trimmed);
    if (!m.hasMatch())
        return std::nullopt;

    DecimalText d;
    d.mNegative = m.capturedView(1) == u"-";
    const QString intPart = m.captured(2);
    const QString fracPart = m.hasCaptured(4) ? m.captured(4) : m.captured(3);
    const int exponent = m.hasCaptured(5) ? m.captured(5).toInt() : 0;
    if (exponent > maxExponent || exponent < -maxExponent)
        return std::nullopt;

    d.mDigits = intPart + fracPart;
    d.mScale = int(fracPart.size()) - exponent;
    if (d.mScale < 0) {
        d.mDigits += QString(-d.mScale, u'0');
        d.mScale = 0;
    }
    if (d.mDigits.isEmpty())
        d.mDigits = QStringLiteral("0");
    return d;
}

std::optional<DecimalText> DecimalText::fromDouble(double value, int significantDigits) {
    if (!std::isfinite(value))
        return std::nullopt;
    return parse(QString::number(value, 'e', qBound(1, significantDigits, 17) - 1));
}

DecimalText DecimalText::fromInteger(qint64 value) {
    DecimalText d;
    d.mNegative = value < 0;
    d.mDigits = QString::number(value);
    if (d.mNegative)
        d.mDigits.remove(0, 1);
    return d;
}

DecimalText DecimalText::rounded(int decimals) const {
    DecimalText r = *this;
    decimals = qMax(0, decimals);
    if (r.mScale <= decimals) {
        r.mDigits += QString(decimals - r.mScale, u'0');
        r.mScale = decimals;
        return r;
    }
    const qsizetype drop = r.mScale - decimals;
    if (r.mDigits.size() <= drop)
        r.mDigits.prepend(QString(drop - r.mDigits.size() + 1, u'0'));
    const bool up = r.mDigits.at(r.mDigits.size() - drop) >= u'5';
    r.mDigits.chop(drop);
    r.mScale = decimals;
    if (up) {
        qsizetype i = r.mDigits.size() - 1;
        for (; i >= 0; --i) {
            if (r.mDigits[i] == u'9') {
                r.mDigits[i] = u'0';
            } else {
                r.mDigits[i] = QChar(r.mDigits[i].unicode() + 1);
                break;
            }
        }
        if (i < 0)
            r.mDigits.prepend(u'1');
    }
    return r;
}

bool DecimalText::isZero() const {
    for (QChar c : mDigits) {
        if (c != u'0')
            return false;
    }
    return true;
}

DecimalText DecimalText::absolute() const {
    DecimalText a = *this;
    a.mNegative = false;
    return a;
}

QString DecimalText::integerDigits() const {
    QString whole = mDigits.left(qMax<qsizetype>(0, mDigits.size() - mScale));
    qsizetype lead = 0;
    while (lead < whole.size() && whole.at(lead) == u'0')
        ++lead;
    whole.remove(0, lead);
    return whole.isEmpty() ? QStringLiteral("0") : whole;
}

QString DecimalText::fractionDigits() const {
    if (mScale == 0)
        return QString();
    const QString frac = mDigits.right(mScale);
    return QString(mScale - frac.size(), u'0') + frac;
}

QString DecimalText::toString() const {
    QString s = isNegative() ? QStringLiteral("-") : QString();
    s += integerDigits();
    if (mScale > 0)
        s += u'.' + fractionDigits();
    return s;
}

DecimalText DecimalText::cut(int decimals, Rounding rounding) const {
    DecimalText r = *this;
    const qsizetype drop = qsizetype(mScale) - decimals;
    if (drop <= 0)
        return r;
    if (r.mDigits.size() <= drop)
        r.mDigits.prepend(QString(drop - r.mDigits.size() + 1, u'0'));
    const QStringView dropped = QStringView(r.mDigits).right(drop);
    const int first = dropped.at(0).unicode() - u'0';
    const bool restZero = allZeros(dropped.mid(1));
    r.mDigits.chop(drop);
    bool up = false;
    switch (rounding) {
    case Rounding::Down:
        break;
    case Rounding::Up:
        up = first != 0 || !restZero;
        break;
    case Rounding::HalfUp:
        up = first >= 5;
        break;
    case Rounding::HalfEven:
        up = first > 5 || (first == 5 && (!restZero || digitAt(r.mDigits, r.mDigits.size() - 1) % 2 != 0));
        break;
    }
    if (up)
        r.mDigits = addWhole(r.mDigits, QStringLiteral("1"));
    if (decimals < 0) {
        r.mDigits += QString(-decimals, u'0');
        r.mScale = 0;
    } else {
        r.mScale = decimals;
    }
    r.mDigits = withoutLeadingZeros(r.mDigits);
    return r;
}

DecimalText DecimalText::roundedHalfEven(int decimals) const {
    return cut(qMax(0, decimals), Rounding::HalfEven);
}

DecimalText DecimalText::roundedSignificant(int digits) const {
    const QString held = withoutLeadingZeros(mDigits);
    if (held == u"0")
        return *this;
    const qsizetype extra = held.size() - qMax(1, digits);
    if (extra <= 0)
        return *this;
    return cut(int(mScale - extra), Rounding::HalfUp);
}

DecimalText DecimalText::floor() const {
    return cut(0, isNegative() ? Rounding::Up : Rounding::Down);
}

DecimalText DecimalText::truncated() const {
    return cut(0, Rounding::Down);
}

DecimalText DecimalText::operator-() const {
    DecimalText n = *this;
    n.mNegative = !mNegative;
    return n;
}

QString DecimalText::digitsAtScale(int scale) const {
    return mDigits + QString(scale - mScale, u'0');
}

int DecimalText::compare(const DecimalText &a, const DecimalText &b) {
    const bool negA = a.isNegative();
    const bool negB = b.isNegative();
    if (negA != negB)
        return negA ? -1 : 1;
    const int scale = qMax(a.mScale, b.mScale);
    const int magnitude = compareWhole(a.digitsAtScale(scale), b.digitsAtScale(scale));
    return negA ? -magnitude : magnitude;
}

DecimalText DecimalText::sum(const DecimalText &a, const DecimalText &b, bool subtract) {
    const int scale = qMax(a.mScale, b.mScale);
    const QString x = a.digitsAtScale(scale);
    const QString y = b.digitsAtScale(scale);
    const bool negX = a.mNegative;
    const bool negY = b.mNegative != subtract;
    DecimalText r;
    r.mScale = scale;
    if (negX == negY) {
        r.mDigits = addWhole(x, y);
        r.mNegative = negX;
    } else if (compareWhole(x, y) >= 0) {
        r.mDigits = subtractWhole(x, y);
        r.mNegative = negX;
    } else {
        r.mDigits = subtractWhole(y, x);
        r.mNegative = negY;
    }
    return r;
}

DecimalText operator+(const DecimalText &a, const DecimalText &b) {
    return DecimalText::sum(a, b, false);
}

DecimalText operator-(const DecimalText &a, const DecimalText &b) {
    return DecimalText::sum(a, b, true);
}

DecimalText operator*(const DecimalText &a, const DecimalText &b) {
    DecimalText r;
    r.mDigits = multiplyWhole(a.mDigits, b.mDigits);
    r.mScale = a.mScale + b.mScale;
    r.mNegative = a.mNegative != b.mNegative;
    return r;
}

std::optional<DecimalText> DecimalText::dividedBy(const DecimalText &divisor, int significantDigits) const {
    if (divisor.isZero())
        return std::nullopt;
    const QString a = withoutLeadingZeros(mDigits);
    const QString b = withoutLeadingZeros(divisor.mDigits);
    significantDigits = qMax(1, significantDigits);
    // Enough places that the whole quotient holds one digit more than asked for, to round on.
    const qsizetype shift = qMax<qsizetype>(0, significantDigits + 1 + b.size() - a.size());
    auto [quotient, rest] = divideWhole(a + QString(shift, u'0'), b);

    DecimalText q;
    q.mNegative = mNegative != divisor.mNegative;
    q.mDigits = quotient;
    q.mScale = int(mScale - divisor.mScale + shift);
    if (q.mScale < 0) {
        q.mDigits += QString(-q.mScale, u'0');
        q.mScale = 0;
    }
    if (allZeros(rest))
        return q.withoutTrailingZeros();
    // The digits beyond the last one held are not all zero: a 5 there is more than a half.
    q.mDigits += u'1';
    ++q.mScale;
    return q.roundedSignificant(significantDigits);
}

std::optional<DecimalText> DecimalText::wholeQuotient(const DecimalText &divisor) const {
    if (divisor.isZero())
        return std::nullopt;
    const int scale = qMax(mScale, divisor.mScale);
    DecimalText q;
    q.mDigits = divideWhole(digitsAtScale(scale), divisor.digitsAtScale(scale)).first;
    q.mNegative = mNegative != divisor.mNegative;
    return q;
}

std::optional<DecimalText> DecimalText::remainder(const DecimalText &divisor) const {
    if (divisor.isZero())
        return std::nullopt;
    const int scale = qMax(mScale, divisor.mScale);
    DecimalText r;
    r.mDigits = divideWhole(digitsAtScale(scale), divisor.digitsAtScale(scale)).second;
    r.mScale = scale;
    r.mNegative = mNegative;
    return r;
}

std::optional<DecimalText> DecimalText::squareRoot(int significantDigits) const {
    if (isNegative())
        return std::nullopt;
    significantDigits = qMax(1, significantDigits);
    QString digits = withoutLeadingZeros(mDigits);
    int scale = mScale;
    if (scale % 2 != 0) {
        digits += u'0';
        ++scale;
    }
    // Pairs of zeros enough for one digit more than asked for, to round on.
    const qsizetype wholeDigits = (digits.size() + 1) / 2;
    const qsizetype pairs = qMax<qsizetype>(0, significantDigits + 1 - wholeDigits);
    auto [root, exact] = squareRootWhole(digits + QString(2 * pairs, u'0'));

    DecimalText r;
    r.mDigits = root;
    r.mScale = int(scale / 2 + pairs);
    if (exact)
        return r.withoutTrailingZeros();
    r.mDigits += u'1';
    ++r.mScale;
    return r.roundedSignificant(significantDigits);
}

DecimalText DecimalText::withoutTrailingZeros() const {
    DecimalText r = *this;
    qsizetype zeros = 0;
    while (zeros < r.mScale && zeros < r.mDigits.size() && r.mDigits.at(r.mDigits.size() - 1 - zeros) == u'0')
        ++zeros;
    r.mDigits.chop(zeros);
    r.mScale -= int(zeros);
    if (r.mDigits.isEmpty())
        r.mDigits = QStringLiteral("0");
    return r;
}

bool DecimalText::isInteger() const {
    return allZeros(QStringView(mDigits).right(qMin<qsizetype>(mScale, mDigits.size())));
}

double DecimalText::toDouble() const {
    // Read the C way whatever the process locale says (strtod would not), giving infinity beyond the range.
    return toString().toDouble();
}

#include "text/DecimalText.h"

#include <QRegularExpression>

#include <cmath>

namespace {
// Exponents beyond this are far outside what a double holds; refusing them keeps the digit strings small.
constexpr int maxExponent = 400;
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

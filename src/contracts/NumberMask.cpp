#include "contracts/NumberMask.h"

namespace {

bool isQtMaskSpecial(QChar c) {
    static const QString special = QStringLiteral("AaNnXx90Dd#HhBb><!{}[]\\;");
    return special.contains(c);
}

int digitPlaces(QStringView part) {
    int n = 0;
    for (const QChar c : part) {
        if (c == QLatin1Char('9'))
            ++n;
    }
    return n;
}

} // namespace

namespace NumberMask {

QString toQtInputMask(const QString &mask) {
    if (mask.isEmpty())
        return {};
    QString out;
    for (const QChar c : mask) {
        if (c == QLatin1Char('9')) {
            out += QLatin1Char('0');
        } else {
            if (isQtMaskSpecial(c))
                out += QLatin1Char('\\');
            out += c;
        }
    }
    return out;
}

bool fits(const QString &mask, const QString &value) {
    const qsizetype maskPoint = mask.indexOf(QLatin1Char('.'));
    const QStringView maskWhole = maskPoint < 0 ? QStringView(mask) : QStringView(mask).left(maskPoint);
    const QStringView maskFraction = maskPoint < 0 ? QStringView() : QStringView(mask).mid(maskPoint + 1);
    // Only masks of digit places around one point can be checked; other literals are left to Qt.
    if (digitPlaces(maskWhole) != maskWhole.size() || digitPlaces(maskFraction) != maskFraction.size())
        return true;

    const qsizetype point = value.indexOf(QLatin1Char('.'));
    const QStringView whole = point < 0 ? QStringView(value) : QStringView(value).left(point);
    const QStringView fraction = point < 0 ? QStringView() : QStringView(value).mid(point + 1);
    for (const QStringView part : {whole, fraction}) {
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
    }
    if (point >= 0 && maskPoint < 0)
        return false;
    return whole.size() <= maskWhole.size() && fraction.size() <= maskFraction.size();
}

} // namespace NumberMask

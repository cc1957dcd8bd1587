#include "text/NumberText.h"

#include "text/DecimalText.h"

#include <QLocale>

#include <cmath>

namespace {

struct DisplayFormat {
    int minInteger = 1;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool general = false;
};

DisplayFormat readFormat(const QString &format) {
    DisplayFormat f;
    if (format.isEmpty()) {
        f.general = true;
        return f;
    }
    const qsizetype point = format.indexOf(u'.');
    const QStringView whole = point < 0 ? QStringView(format) : QStringView(format).left(point);
    f.minInteger = int(whole.count(u'0'));
    if (point >= 0) {
        int place = 0;
        for (QChar c : QStringView(format).mid(point + 1)) {
            if (c == u'0') {
                ++place;
                f.minDecimals = place;
            } else if (c == u'#') {
                ++place;
            }
        }
        f.maxDecimals = place;
    }
    return f;
}

// The value a number written with the format stands for.
DecimalText roundForFormat(const DecimalText &value, const DisplayFormat &f) {
    return f.general ? value : value.rounded(f.maxDecimals);
}

// Writes a value already rounded for the format.
QString writeDecimal(const DecimalText &r, const DisplayFormat &f) {
    if (f.general) {
        QString s = r.toString();
        if (s.contains(u'.')) {
            while (s.endsWith(u'0'))
                s.chop(1);
            if (s.endsWith(u'.'))
                s.chop(1);
        }
        return s;
    }

    QString whole = r.integerDigits();
    if (whole.size() < f.minInteger)
        whole.prepend(QString(f.minInteger - whole.size(), u'0'));
    else if (f.minInteger == 0 && whole == u"0")
        whole.clear();

    QString frac = r.fractionDigits();
    while (frac.size() > f.minDecimals && frac.endsWith(u'0'))
        frac.chop(1);

    QString s = whole;
    if (!frac.isEmpty())
        s += u'.' + frac;
    if (s.isEmpty())
        s = QStringLiteral("0");
    if (r.isNegative())
        s.prepend(u'-');
    return s;
}

} // namespace

QString NotANumberMessage(const QString &text) {
    return QStringLiteral("“%1”不是有效的数值。").arg(text);
}

TextResult<double> TextToNumber(const QString &text) {
    if (!DecimalText::parse(text))
        return TextResult<double>::failure(NotANumberMessage(text));
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return TextResult<double>::failure(NotANumberMessage(text));
    return TextResult<double>::success(v);
}

QString FormatNumber(double value, const QString &format) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    return FormatNumber(*DecimalText::fromDouble(value), format);
}

WrittenNumber WriteNumber(const DecimalText &value, const QString &format) {
    const DisplayFormat f = readFormat(format);
    const DecimalText shown = roundForFormat(value, f);
    return {writeDecimal(shown, f), shown};
}

QString FormatNumber(const DecimalText &value, const QString &format) {
    return WriteNumber(value, format).text;
}

TextResult<QString> FormatNumberText(const QString &text, const QString &format) {
    const std::optional<DecimalText> d = DecimalText::parse(text);
    if (!d)
        return TextResult<QString>::failure(NotANumberMessage(text));
    return TextResult<QString>::success(FormatNumber(*d, format));
}

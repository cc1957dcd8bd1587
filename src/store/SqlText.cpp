#include "store/SqlText.h"

QString SqlText::escapeLike(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString SqlText::containsPattern(const QString &text) {
    return QLatin1Char('%') + escapeLike(text) + QLatin1Char('%');
}

QString SqlText::prefixPattern(const QString &text) {
    return escapeLike(text) + QLatin1Char('%');
}

bool SqlText::isValueColumn(const QString &name) {
    if (!name.startsWith(QLatin1String("Data")))
        return false;
    const QStringView digits = QStringView(name).mid(4);
    if (digits.isEmpty() || digits.size() > 2 || digits.startsWith(QLatin1Char('0')))
        return false;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok && n >= 1 && n <= 80;
}

#include "CellText.h"

#include "text/DateText.h"

#include <QLocale>

#include <cmath>

namespace CellText {

QString fromNumber(double value) {
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        return QStringLiteral("0");
    QString text = QLocale::c().toString(value, 'g', 15);
    // C's exponent form is "1e+20" / "1e-07"; the stored form is "1E20" / "1E-7".
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        bool negative = exponent.startsWith(u'-');
        if (exponent.startsWith(u'-') || exponent.startsWith(u'+'))
            exponent.remove(0, 1);
        while (exponent.size() > 1 && exponent.startsWith(u'0'))
            exponent.remove(0, 1);
        text = mantissa + u'E' + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    return text;
}

QString fromDateTime(const QDate &date, const QTime &time)
{
    // The formats are the shared ones of the text library; the value is formatted here without a QDateTime, whose
    // time-zone lookups would cost more than the whole reading of a large sheet.
    static const QString dateFormat = ShortDateFormat();
    static const QString timeFormat = ShortDateTimeFormat();
    const bool hasTime = time.isValid() && time != QTime(0, 0);
    if (!date.isValid())
        return hasTime ? time.toString(timeFormat) : QString();
    const QString dateText = date.toString(dateFormat);
    return hasTime ? dateText + u' ' + time.toString(timeFormat) : dateText;
}

QString fromSerial(double serial, bool date1904) {
    // 2958465 is 9999-12-31, the last day a spreadsheet can show.
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return {};
    qint64 seconds = std::llround(serial * 86400.0);
    qint64 days = seconds / 86400;
    const int secondOfDay = int(seconds % 86400);
    const QTime time = QTime(0, 0).addSecs(secondOfDay);
    if (days == 0 && !date1904)
        return fromDateTime(QDate(), time);
    QDate date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days);
    } else if (days == 60) {
        // The 1900 date system counts a 29 February 1900 that never was; show the day after 28 February.
        date = QDate(1900, 3, 1);
    } else {
        date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
    }
    return fromDateTime(date, time);
}

} // namespace CellText

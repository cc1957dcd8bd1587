#include "exchange/workbook/CellText.h"

#include "text/DateText.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace CellText {

QString fromNumber(double value) {
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        return QStringLiteral("0");
    // When the shortest form that reads back as the same value has at most 15 digits, it is the value rounded
    // to 15 digits (it cannot lie halfway between two 15-digit numbers), and it is written here in general
    // notation directly: many times faster than the locale's formatter, and nearly every number in a sheet is of
    // this kind. Longer forms take the locale's rounding (halves away from zero).
    char buffer[64];
    const auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const char *mark = std::find(buffer, shortest.ptr, 'e');
    char digits[32];
    int count = 0;
    for (const char *c = buffer; c < mark; ++c) {
        if (*c >= '0' && *c <= '9' && count < int(sizeof digits))
            digits[count++] = *c;
    }
    int exponent = 0;
    // Subnormal numbers are too coarse for that argument.
    if (shortest.ec == std::errc() && mark < shortest.ptr && std::fabs(value) >= std::numeric_limits<double>::min() &&
        std::from_chars(mark + 1 + (mark[1] == '+'), shortest.ptr, exponent).ec == std::errc() && count <= 15) {
        QString text;
        text.reserve(24);
        if (value < 0)
            text += u'-';
        if (exponent < -4 || exponent >= 15) {
            text += QLatin1Char(digits[0]);
            if (count > 1) {
                text += u'.';
                text += QLatin1StringView(digits + 1, count - 1);
            }
            text += u'E';
            text += QString::number(exponent);
        } else if (exponent >= 0) {
            for (int i = 0; i <= exponent; ++i)
                text += QLatin1Char(i < count ? digits[i] : '0');
            if (count > exponent + 1) {
                text += u'.';
                text += QLatin1StringView(digits + exponent + 1, count - exponent - 1);
            }
        } else {
            text += QStringLiteral("0.");
            for (int i = 0; i < -exponent - 1; ++i)
                text += u'0';
            text += QLatin1StringView(digits, count);
        }
        return text;
    }
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

namespace {

void appendNumber(QString &text, int value, int width) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 || n < width);
    while (n > 0)
        text += QLatin1Char(digits[--n]);
}

} // namespace

QString fromDateTime(const QDate &date, const QTime &time) {
    // The formats are the shared ones of the text library; the value is formatted here without a QDateTime, whose
    // time-zone lookups would cost more than the whole reading of a large sheet. The usual formats are written
    // directly: a large sheet holds tens of thousands of dates, and the general formatter parses its format anew
    // for each.
    static const QString dateFormat = ShortDateFormat();
    static const QString timeFormat = ShortDateTimeFormat();
    static const bool usualDate = dateFormat == u"yyyy/M/d";
    static const bool usualTime = timeFormat == u"H:mm:ss";
    const bool hasTime = time.isValid() && time != QTime(0, 0);
    QString text;
    if (date.isValid()) {
        if (usualDate && date.year() >= 1000 && date.year() <= 9999) {
            text.reserve(19);
            appendNumber(text, date.year(), 4);
            text += u'/';
            appendNumber(text, date.month(), 1);
            text += u'/';
            appendNumber(text, date.day(), 1);
        } else {
            text = date.toString(dateFormat);
        }
        if (hasTime)
            text += u' ';
    }
    if (hasTime) {
        if (usualTime) {
            appendNumber(text, time.hour(), 1);
            text += u':';
            appendNumber(text, time.minute(), 2);
            text += u':';
            appendNumber(text, time.second(), 2);
        } else {
            text += time.toString(timeFormat);
        }
    }
    return text;
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

bool readDigits(QByteArrayView text, qint64 *value) {
    if (text.isEmpty() || text.size() > 15)
        return false;
    qint64 result = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

bool readReference(QByteArrayView text, qint64 *row, qint64 *column) {
    qsizetype i = 0;
    qint64 col = 0;
    while (i < text.size() && i < 4) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        col = col * 26 + (c - 'A' + 1);
        ++i;
    }
    qint64 r = 0;
    if (i == 0 || !readDigits(text.sliced(i), &r) || r < 1)
        return false;
    *row = r - 1;
    *column = col - 1;
    return true;
}

QString NumberCells::text(double value, qint64 style) {
    if (!showsDate(style) || !std::isfinite(value))
        return fromNumber(value);
    auto known = mDates.constFind(value);
    if (known == mDates.cend()) {
        // A serial outside the spreadsheet's dates shows as the number it is.
        QString date = fromSerial(value, mDate1904);
        known = mDates.insert(value, date.isEmpty() ? fromNumber(value) : date);
    }
    return *known;
}

} // namespace CellText

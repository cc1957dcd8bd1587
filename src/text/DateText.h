#pragma once

#include "text/TextResult.h"

#include <QDateTime>
#include <QString>

// Dates and times written with an indicator's date format and read back.
//
// Formats are written the way users type them: "yyyy-MM-dd", "yyyy年MM月dd日", "MM/dd/yyyy". Letters are not
// case-sensitive: y is the year (yy two digits, yyyy four), m and M the month (mm two digits) except right after
// an hour, where they are minutes, d the day (ddd and dddd the weekday name), h the hour (0-23), n the minutes,
// s the seconds, z the milliseconds. Text between double or single quotes and every other character is copied
// as it stands.

// The short date of the Chinese (China) locale, "yyyy/M/d".
QString ShortDateFormat();
// The time of day that follows the short date, "H:mm:ss".
QString ShortDateTimeFormat();

// The value written with the format. An empty format writes the short date followed by a blank and the time of
// day, the time left out at exactly midnight ("2012/2/15", "2012/2/15 9:30:00"). An invalid value gives "".
QString DateTimeToText(const QDateTime &value, const QString &format);

// The same format written for QDateTime::toString and date editors (lower-case mm becomes MM, and so on).
// An empty format gives the short date with the time of day.
QString ToQtDateTimeFormat(const QString &format);

// Reads a date with an optional time of day. Accepts "yyyy-M-d", "yyyy/M/d" (the short date), "M/d/yyyy" and
// "yyyy年M月d日" (leading zeros optional), each optionally followed by a blank and "H:mm" or "H:mm:ss"; and,
// when format is given, what DateTimeToText writes with it. Fails with "“...”不是有效的日期。".
TextResult<QDateTime> TextToDateTime(const QString &text, const QString &format = QString());

#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// How worksheet values become the texts the import stores: the same forms for .xls and .xlsx.
namespace CellText {

// General notation with up to 15 significant digits: 3, 0.1, 123456789012345, 1.5E20, 1E-7.
QString fromNumber(double value);

// Short date (Chinese locale), followed by a blank and the long time when the time of day is not zero.
// A value without a date part (a pure time of day) gives the time alone.
QString fromDateTime(const QDate &date, const QTime &time);

// A spreadsheet date serial (days since the workbook's epoch, fraction = time of day), rounded to the second.
// Returns an empty text for serials outside the spreadsheet's date range.
QString fromSerial(double serial, bool date1904);

// Plain decimal digits and nothing else (no sign, no blanks), at most 15 of them: row numbers, style and string
// indexes as both workbook formats store them in text.
bool readDigits(QByteArrayView text, qint64 *value);

// A cell reference such as "B12" (row 11, column 1, both from 0): one to four letters in either case, then the row
// number from 1. False for anything else.
bool readReference(QByteArrayView text, qint64 *row, qint64 *column);

// The text of a number cell by the cell's style: the date (and time) where the style's number format shows one,
// the general form otherwise. A sheet holds the same few thousand dates over and over: each is written out once.
class NumberCells {
public:
    void setDate1904(bool date1904) { mDate1904 = date1904; }
    // The styles in their order (from 0): whether each one's number format shows a date or time.
    void addStyle(bool showsDate) { mDateStyles.append(showsDate); }
    bool showsDate(qint64 style) const { return style >= 0 && style < mDateStyles.size() && mDateStyles.at(style); }

    QString text(double value, qint64 style);

private:
    QList<bool> mDateStyles;
    bool mDate1904 = false;
    QHash<double, QString> mDates;
};

} // namespace CellText

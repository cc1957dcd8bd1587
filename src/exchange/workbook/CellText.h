#pragma once

#include <QDateTime>
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

} // namespace CellText

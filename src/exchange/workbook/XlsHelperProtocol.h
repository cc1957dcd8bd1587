#pragma once

#include "exchange/workbook/Worksheet.h"

#include <QDataStream>

// What the .xls helper process writes to its standard output: the workbook's sheet names, or the reason it could
// not be opened, then every sheet as it was read.
namespace XlsHelperProtocol {

constexpr quint32 Magic = 0x56584c53; // "VXLS"

inline QDataStream &operator<<(QDataStream &out, const Worksheet &sheet) {
    return out << sheet.name << sheet.columns << sheet.rows << sheet.rowNumbers;
}

inline QDataStream &operator>>(QDataStream &in, Worksheet &sheet) {
    return in >> sheet.name >> sheet.columns >> sheet.rows >> sheet.rowNumbers;
}

} // namespace XlsHelperProtocol

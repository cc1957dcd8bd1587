#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The cells of an .xls workbook that FreeXL leaves out: formula results and booleans. Read straight from the
// BIFF8 records of the file's Workbook stream; anything unexpected ends the scan with what was found so far.
namespace BiffExtraCells {

struct Cell {
    quint32 row = 0;
    quint16 column = 0;
    QString text;
};

// Cells by sheet name; empty when the file is not a BIFF8 workbook this scan understands.
QHash<QString, QList<Cell>> read(const QByteArray &file);

} // namespace BiffExtraCells

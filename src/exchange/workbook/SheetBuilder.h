#pragma once

#include "exchange/workbook/Worksheet.h"

#include <QString>

#include <optional>
#include <vector>

// Collects the cells a workbook format reports (in any order, with gaps) and turns them into a Worksheet:
// fully empty rows and the empty margin around the used range are dropped, empty or repeated column names made
// unique. Guards against sheets whose cell references would blow up into more cells than memory allows.
class SheetBuilder {
public:
    static constexpr qint64 MaxRow = 1048576;
    static constexpr qint64 MaxColumn = 16384;
    static constexpr qint64 MaxCells = 10'000'000;

    // Row and column count from 0. Returns false when the reference lies outside a worksheet or the sheet holds
    // more cells than can be read.
    bool setCell(qint64 row, qint64 column, const QString &text);

    // Returns nothing (and sets error) when the sheet holds more cells than can be read.
    std::optional<Worksheet> build(const QString &name, QString *error) const;

private:
    struct Cell {
        qint64 row;
        qint64 column;
        QString text;
    };
    // Cells in the order reported; sorted (the last of equal references winning) only when they came out of order.
    std::vector<Cell> mCells;
    bool mOrdered = true;
};

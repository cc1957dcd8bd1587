#include "exchange/workbook/SheetBuilder.h"

#include <QSet>

#include <algorithm>
#include <limits>

bool SheetBuilder::setCell(qint64 row, qint64 column, const QString &text) {
    if (row < 0 || row >= MaxRow || column < 0 || column >= MaxColumn)
        return false;
    if (text.isEmpty())
        return true;
    if (qint64(mCells.size()) >= MaxCells)
        return false;
    if (!mCells.empty()) {
        const Cell &last = mCells.back();
        if (row < last.row || (row == last.row && column <= last.column))
            mOrdered = false;
    }
    mCells.push_back({row, column, text});
    return true;
}

std::optional<Worksheet> SheetBuilder::build(const QString &name, QString *error) const {
    std::vector<Cell> sortedCells;
    const std::vector<Cell> *cells = &mCells;
    if (!mOrdered) {
        sortedCells = mCells;
        std::stable_sort(sortedCells.begin(), sortedCells.end(), [](const Cell &a, const Cell &b) {
            return a.row < b.row || (a.row == b.row && a.column < b.column);
        });
        cells = &sortedCells;
    }

    Worksheet sheet;
    sheet.name = name;
    qint64 firstColumn = std::numeric_limits<qint64>::max();
    qint64 lastColumn = -1;
    qint64 usedRows = 0;
    qint64 previousRow = -1;
    for (const Cell &cell : *cells) {
        if (cell.row != previousRow)
            ++usedRows;
        previousRow = cell.row;
        firstColumn = std::min(firstColumn, cell.column);
        lastColumn = std::max(lastColumn, cell.column);
    }
    if (usedRows == 0)
        return sheet;
    const qint64 width = lastColumn - firstColumn + 1;
    if (width * usedRows > MaxCells) {
        if (error)
            *error = QStringLiteral("工作表“%1”的数据太多，无法读取。").arg(name);
        return std::nullopt;
    }

    QList<QStringList> rows;
    QList<int> rowNumbers;
    rows.reserve(usedRows);
    previousRow = -1;
    for (const Cell &cell : *cells) {
        if (cell.row != previousRow) {
            rows.append(QStringList(width));
            rowNumbers.append(int(cell.row + 1));
            previousRow = cell.row;
        }
        // A later cell with the same reference replaces the earlier one.
        rows.last()[cell.column - firstColumn] = cell.text;
    }

    // Columns without a name are called F1, F2, ... after their position; a repeated name gets a number so that
    // every column can be told apart in the mapping.
    QSet<QString> used;
    const QStringList &header = rows.first();
    for (qint64 i = 0; i < width; ++i) {
        QString columnName = header[i].trimmed();
        if (columnName.isEmpty())
            columnName = u'F' + QString::number(i + 1);
        const QString base = columnName;
        for (int n = 1; used.contains(columnName.toLower()); ++n)
            columnName = base + QString::number(n);
        used.insert(columnName.toLower());
        sheet.columns.append(columnName);
    }
    rows.removeFirst();
    rowNumbers.removeFirst();
    sheet.rows = std::move(rows);
    sheet.rowNumbers = std::move(rowNumbers);
    return sheet;
}

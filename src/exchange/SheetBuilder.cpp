#include "SheetBuilder.h"

#include <QSet>

#include <limits>

bool SheetBuilder::setCell(qint64 row, qint64 column, const QString &text) {
    if (row < 0 || row >= MaxRow || column < 0 || column >= MaxColumn)
        return false;
    if (text.isEmpty()) {
        auto found = mRows.find(row);
        if (found != mRows.end())
            found->second.erase(column);
        return true;
    }
    QString &cell = mRows[row][column];
    if (cell.isEmpty() && ++mCellCount > MaxCells)
        return false;
    cell = text;
    return true;
}

std::optional<Worksheet> SheetBuilder::build(const QString &name, QString *error) const {
    Worksheet sheet;
    sheet.name = name;
    qint64 firstColumn = std::numeric_limits<qint64>::max();
    qint64 lastColumn = -1;
    qint64 usedRows = 0;
    for (const auto &[row, cells] : mRows) {
        if (cells.empty())
            continue;
        ++usedRows;
        firstColumn = std::min(firstColumn, cells.begin()->first);
        lastColumn = std::max(lastColumn, cells.rbegin()->first);
    }
    if (usedRows == 0)
        return sheet;
    const qint64 width = lastColumn - firstColumn + 1;
    if (width * usedRows > MaxCells) {
        if (error)
            *error = QStringLiteral("工作表“%1”的数据太多，无法读取。").arg(name);
        return std::nullopt;
    }

    bool header = true;
    QSet<QString> used;
    for (const auto &[row, cells] : mRows) {
        if (cells.empty())
            continue;
        QStringList texts(width);
        for (const auto &[column, text] : cells)
            texts[column - firstColumn] = text;
        if (header) {
            header = false;
            // Columns without a name are called F1, F2, ... after their position; a repeated name gets a number
            // so that every column can be told apart in the mapping.
            for (qint64 i = 0; i < width; ++i) {
                QString columnName = texts[i].trimmed();
                if (columnName.isEmpty())
                    columnName = u'F' + QString::number(i + 1);
                const QString base = columnName;
                for (int n = 1; used.contains(columnName.toLower()); ++n)
                    columnName = base + QString::number(n);
                used.insert(columnName.toLower());
                sheet.columns.append(columnName);
            }
            continue;
        }
        sheet.rows.append(texts);
        sheet.rowNumbers.append(int(row + 1));
    }
    return sheet;
}

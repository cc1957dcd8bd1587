#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One worksheet as the import sees it: the first used row gives the column names, every further used row is a
// record; each row holds exactly one text per column (empty cells as empty texts).
struct Worksheet {
    QString name;
    QStringList columns;
    QList<QStringList> rows;
    // The worksheet's own row number (from 1) of each record, for messages about a row.
    QList<int> rowNumbers;

    qsizetype columnIndex(const QString &columnName) const { return columns.indexOf(columnName); }
};

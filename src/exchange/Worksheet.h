#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One worksheet as the import sees it: the first used row gives the column names, every further used row is a
// record; each row holds exactly one text per column (empty cells as empty texts).
struct Worksheet
{
    QString name;
    QStringList columns;
    QList<QStringList> rows;

    qsizetype columnIndex(const QString &columnName) const { return columns.indexOf(columnName); }
};

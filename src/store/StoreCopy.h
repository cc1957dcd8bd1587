#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Copies the program's data between two databases of the one schema (the embedded file and the server), row for row
// with every column and the generated IDs as they are. A backup of the server writes its data into a database file
// through this; a restore into the server reads one.
namespace StoreCopy {

// The tables of the data, parents before the rows that refer to them.
QStringList tables();

// Inserts every row of each table of `from` into the same table of `to`, which the caller has emptied. Runs inside
// whatever transaction the caller holds on `to`.
bool copyRows(QSqlDatabase from, QSqlDatabase to, QString *error = nullptr);

// After rows came in with their IDs: the server's generators continue above the highest one. Nothing to do on the
// embedded file, whose generator follows the rows by itself.
bool resetGenerators(QSqlDatabase db, QString *error = nullptr);

} // namespace StoreCopy

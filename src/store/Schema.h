#pragma once

#include <QSqlDatabase>
#include <QString>

// The tables of the database file. The program never creates tables; the setup tool and the tests do, through this.
namespace Schema {
inline constexpr int ValueColumnCount = 80;
inline constexpr int DefaultColWidth = 100;
// Version of the tables; a database of an earlier version is brought up to it when the program opens it.
inline constexpr int Version = 2;

// Creates every table on an empty database (embedded file or server: the driver decides the spelling) and the parameter
// row with the initial password "579".
bool create(QSqlDatabase db, QString *error = nullptr);

// Brings a database made by an earlier version of the program up to Version, step by step in one transaction,
// without losing data; does nothing to an up-to-date one. Refuses (false, with the reason) a database made by a
// later version.
bool upgrade(QSqlDatabase db, QString *error = nullptr);

// True when the database already holds the program's tables (on an empty server database it does not).
bool hasTables(QSqlDatabase db);

// Creates the database file with its tables when it does not exist yet; an existing file is never touched.
// Also makes the document folders. Returns false with a reason when the folder cannot be laid out.
bool layOutAppFolder(const QString &appFolder, QString *error = nullptr);
} // namespace Schema

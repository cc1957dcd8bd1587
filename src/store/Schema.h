#pragma once

#include <QSqlDatabase>
#include <QString>

// The tables of the database file. The program never creates tables; the setup tool and the tests do, through this.
namespace Schema {
inline constexpr int ValueColumnCount = 80;
inline constexpr int DefaultColWidth = 100;
// The version of the tables this program builds and expects. A database of an earlier version is brought up to it
// by upgrade(), step by step, when the program opens it.
inline constexpr int Version = 3;
// Days ahead a date marked for due reminders starts to remind, unless the indicator says otherwise.
inline constexpr int DefaultDueDays = 30;

// Creates every table on an empty database (embedded file or server: the driver decides the spelling) and the parameter
// row with the initial password "579". With `version` below Version the tables are made as that version had them
// (how the tests make a database of an earlier program).
bool create(QSqlDatabase db, QString *error = nullptr, int version = Version);

// The version of an open database: the embedded file keeps it in its header, the server in TSchemaVersion. A
// database made before versions were kept on the server reads as 1.
int version(QSqlDatabase db);

// Brings an open database of an earlier version up to Version in one transaction, keeping every row; a database
// already at Version (or of a later program) is left as it is. Several programs opening one server at once
// upgrade it once. Returns false with the reason, and the database as it was, when a step fails.
bool upgrade(QSqlDatabase db, QString *error = nullptr);

// True when the database already holds the program's tables (on an empty server database it does not).
bool hasTables(QSqlDatabase db);

// Creates the database file with its tables when it does not exist yet; an existing file is never touched.
// Also makes the document folders. Returns false with a reason when the folder cannot be laid out.
bool layOutAppFolder(const QString &appFolder, QString *error = nullptr);
} // namespace Schema

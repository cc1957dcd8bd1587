#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

class Database;

// The statements of the whole-store operations: the system rebuild that empties tables, and the backup and
// restore of the rows and the server's documents. Each runs on the connection it is given: the program's, or one
// the operation opened on a database file of its own.
namespace StoreMaintenance {

// The rebuild's statements; those marked "B_" go only when the basic data goes too.
QStringList rebuildStatements();
// Runs the statements in one transaction, each in a savepoint of its own so that one that fails leaves the others.
// When the whole cannot commit (a skipped statement left rows others refer to), they run one by one. True when
// every statement ran.
bool runRebuildStatements(QSqlDatabase db, const QStringList &statements);
// True when the table holds no row; false as well when it cannot be read.
bool isEmpty(QSqlDatabase db, const QString &table);
// True when the history of changes holds a row.
bool hasHistory(Database &database);

// The paths of the server's documents in order; nullopt with the reason when they cannot be read.
std::optional<QStringList> documentPaths(Database &database, QString *error = nullptr);
// Reads the content of the document at the path into *content (nullopt when it has no row); false with the reason
// when it cannot be read.
bool readDocument(QSqlDatabase db, const QString &path, std::optional<QByteArray> *content, QString *error = nullptr);
// The parameter rows of a fresh database, before a copy brings the ones it stands for.
bool clearParameters(QSqlDatabase db, QString *error = nullptr);
// Makes the server's transaction just begun one read-only snapshot: rows and documents read in it agree.
bool readSnapshot(QSqlDatabase db, QString *error = nullptr);

// The integrity check of a database file; false with the reason.
bool quickCheck(QSqlDatabase db, QString *error = nullptr);
// True when the file holds the tables of this system's data.
bool hasDataTables(QSqlDatabase db);
// A document version above every one stored; nullopt with the reason when it cannot be read.
std::optional<qint64> nextDocumentVersion(QSqlDatabase db, QString *error = nullptr);
// Empties the documents and every table of the data, in the caller's transaction.
bool deleteAllData(QSqlDatabase db, QString *error = nullptr);
bool insertDocument(QSqlDatabase db, const QString &path, const QByteArray &content, qint64 version,
                    QString *error = nullptr);

} // namespace StoreMaintenance

#pragma once

#include <QDate>
#include <QString>

class Database;

// The backup archive of the folder DB: the data and nothing else, each file under its path relative to DB: the
// database file (a consistent copy taken while the connection stays open), the blank template Empty.Doc and the
// template and contract documents below ModelFiles/ and ContractFile/. Other files of DB (a server's connection
// file) never enter an archive. A document whose name the restore would refuse fails the backup, and the archive
// counts as written only when the restore would take it.
class DatabaseBackup {
public:
    // application folder + "Bak/" + yyyyMMdd + ".HTBK"
    static QString proposedArchivePath(const QString &appFolder, const QDate &today);

    // Writes the archive; on failure no file is left under `archive` (an earlier one stays as it was). When the
    // failure is a document whose name cannot go into an archive, `unfitName` gets its path (as stored: below DB
    // in the folder, below the application folder on the server).
    static bool write(Database &dm, const QString &archive, QString *error = nullptr, QString *unfitName = nullptr);

    // The same for the folder DB of `appFolder`. With `connected` (the open data module of that folder) the
    // database is copied through the connection; without, the database file must not be in use and is stored as
    // it is.
    static bool writeFolder(const QString &appFolder, const QString &archive, Database *connected,
                            QString *error = nullptr, QString *unfitName = nullptr);

    // The archive of a shared server: the same layout, with a database file holding the server's data and the
    // documents the server keeps.
    static bool writeServer(Database &dm, const QString &archive, QString *error = nullptr,
                            QString *unfitName = nullptr);
};

#pragma once

#include <QDate>
#include <QString>

class TDM;

// The backup archive of the folder DB: every file below it under its relative path, the database file as a
// consistent copy taken while the connection stays open.
class DatabaseBackup {
public:
    // application folder + "Bak/" + yyyyMMdd + ".HTBK"
    static QString proposedArchivePath(const QString &appFolder, const QDate &today);

    // Writes the archive; on failure no file is left under `archive` (an earlier one stays as it was).
    static bool write(TDM &dm, const QString &archive, QString *error = nullptr);

    // The same for the folder DB of `appFolder`. With `connected` (the open data module of that folder) the
    // database is copied through the connection; without, the database file must not be in use and is stored as
    // it is.
    static bool writeFolder(const QString &appFolder, const QString &archive, TDM *connected, QString *error = nullptr);

    // The archive of a shared server: the same layout, with a database file holding the server's data and the
    // documents the server keeps.
    static bool writeServer(TDM &dm, const QString &archive, QString *error = nullptr);
};

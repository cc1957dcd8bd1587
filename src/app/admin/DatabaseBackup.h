#pragma once

#include <QDate>
#include <QString>

class TDM;

// The backup archive of the folder DB: every file below it under its relative path, the database file as a
// consistent copy taken while the connection stays open.
class DatabaseBackup
{
public:
    // application folder + "Bak/" + yyyyMMdd + ".HTBK"
    static QString proposedArchivePath(const QString &appFolder, const QDate &today);

    // Writes the archive; on failure no file is left under `archive` (an earlier one stays as it was).
    static bool write(TDM &dm, const QString &archive, QString *error = nullptr);
};

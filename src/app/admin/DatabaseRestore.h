#pragma once

#include <QString>

class TDM;

// Restores the folder DB from a backup archive, all or nothing: the whole archive is checked and extracted into a
// staging folder beside DB first, and the files of DB are replaced only when every entry was sound and the
// database file opens. Files of DB that the archive does not hold stay in place.
class DatabaseRestore {
public:
    // The database connection must be closed. On failure the folder DB is exactly as it was.
    static bool restore(const QString &archive, const QString &appFolder, QString *error = nullptr);

    // The same archive into the shared server `dm` is connected to: every row and document of the server is
    // replaced in one transaction, so on failure the server is exactly as it was. Other files of the archive go into
    // the folder's DB as restore() puts them.
    static bool restoreIntoServer(const QString &archive, TDM &dm, QString *error = nullptr);

    // True when `file` is a database that SQLite opens, passes a quick check and holds the system's tables.
    static bool isUsableDatabase(const QString &file, QString *error = nullptr);
};

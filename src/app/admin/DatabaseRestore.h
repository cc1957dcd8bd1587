#pragma once

#include <QString>

// Restores the folder DB from a backup archive, all or nothing: the whole archive is checked and extracted into a
// staging folder beside DB first, and the files of DB are replaced only when every entry was sound and the
// database file opens. Files of DB that the archive does not hold stay in place.
class DatabaseRestore {
public:
    // The database connection must be closed. On failure the folder DB is exactly as it was.
    static bool restore(const QString &archive, const QString &appFolder, QString *error = nullptr);

    // True when `file` is a database that SQLite opens, passes a quick check and holds the system's tables.
    static bool isUsableDatabase(const QString &file, QString *error = nullptr);
};

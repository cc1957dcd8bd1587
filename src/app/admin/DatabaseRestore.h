#pragma once

#include <QString>
#include <QStringList>

class Database;

// Restores the folder DB from a backup archive, all or nothing: the whole archive is checked and extracted into a
// staging folder beside DB first, and the files of DB are replaced only when every entry was sound and the
// database file opens. Afterwards DB holds the archive's data and no other: template and contract documents the
// archive does not hold go (the IDs they were named by count up again from the restored database), the blank
// template stays when the archive has none, and files of DB that are no part of the data (a server's connection
// file) stay as they are. An archive holding anything but the data is refused whole.
class DatabaseRestore {
public:
    // What a restore did, for telling the user.
    struct Outcome {
        enum class Server { Untouched, Replaced, Unknown };
        // Whether the server's data was replaced (Unknown: the connection broke while the server committed).
        Server server = Server::Untouched;
        // Whether the folder DB is exactly as before; false also when files could not be put back after a failure.
        bool localUnchanged = true;
        // An entry of the archive that is no part of the data: the archive was refused for it.
        QString refusedEntry;
        // Where files that could not be put back after a failure were left (empty when none were).
        QString leftoverFolder;
        // Local copies of server documents that differed from the server's (edited outside the program, never
        // saved back): kept in Bak/ under these paths before they went.
        QStringList keptCopies;
    };

    // The database connection must be closed. On failure the folder DB is exactly as it was.
    static bool restore(const QString &archive, const QString &appFolder, QString *error = nullptr,
                        Outcome *outcome = nullptr);

    // The same archive into the shared server `dm` is connected to: every row and document of the server is
    // replaced in one transaction. The local part comes first (the blank template into DB, the local copies of the
    // server's documents out of it, all of them older than the restored versions), the server's commit last: when
    // anything fails before the commit, the server and DB are as they were. `outcome` says what happened when the
    // commit itself failed.
    static bool restoreIntoServer(const QString &archive, Database &dm, QString *error = nullptr,
                                  Outcome *outcome = nullptr);

    // True when `file` is a database that SQLite opens, passes a quick check and holds the system's tables.
    static bool isUsableDatabase(const QString &file, QString *error = nullptr);

    // Whether an archive written by a backup would be taken by a restore: it opens, every entry is a sound name of
    // the data, and it holds the database. The content is not unpacked.
    static bool wouldRestore(const QString &archive, QString *error = nullptr);
};

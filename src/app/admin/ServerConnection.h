#pragma once

#include "store/ServerSettings.h"

#include <QString>

// What "服务器连接设置" decides, without its widgets: the connection settings of the application folder
// (DB/Server.ini), a test of them, the tables made on an empty server database, and the way back to the embedded
// file. Every outcome is told through Messages. Nothing here changes the connection the program runs on: a saved
// choice takes effect at the next start.
class ServerConnection {
public:
    explicit ServerConnection(QString appFolder);

    // What the dialog shows: the folder's Server.ini, or the defaults when there is none. The password is always
    // empty: it is never stored.
    ServerSettings settings;
    // Whether the folder names a server now (the program started on it).
    bool configured() const;

    // Opens a connection of its own with `settings` and says whether it worked (and whether the database has the
    // program's tables) or the server's reason.
    bool testConnection();
    // Makes every table on an empty database after asking; refuses, with a message, a database that has them.
    bool createTables();
    // Writes Server.ini (never the password); effective at the next start.
    bool save();
    // Removes Server.ini after asking: the next start uses DB/ZYDB.dat.
    bool useEmbedded();
    // Asks for the root certificate file; true when one was chosen (it is in settings then).
    bool chooseRootCertificate();

private:
    // Empty text when the fields name a server; otherwise what is missing.
    QString missingField() const;
    // The settings with a root certificate path taken from the application folder when it is relative, as the
    // program reads it from Server.ini.
    ServerSettings resolved() const;

    QString mAppFolder;
};

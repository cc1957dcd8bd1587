#pragma once

#include <QString>

#include <memory>

class Database;

class Messages;

// The start on a shared database server: the folder's DB/Server.ini names the server, the user types its password
// (kept in memory only) and the data module opens the connection.
namespace ServerLogin {
// Asks for the password until the server accepts it; after a failure the user reads the server's reason and chooses
// to try again or to quit. Returns the database open on the server, or none when the user quits (the program never
// falls back to the embedded file).
std::unique_ptr<Database> openServerAtStart(const QString &appFolder);
// A DB/Server.ini that names no server (no host or database): the user is told and the program does not start, as
// quietly working on the embedded file instead would hide the shared data. False when there is nothing to say.
bool settingsIncomplete(const QString &appFolder);
} // namespace ServerLogin

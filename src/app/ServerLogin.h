#pragma once

#include <QString>

// The start on a shared database server: the folder's DB/Server.ini names the server, the user types its password
// (kept in memory only) and the data module opens the connection.
namespace ServerLogin {
// Asks for the password until the server accepts it; after a failure the user reads the server's reason and chooses
// to try again or to quit. Returns true with the data module open on the server, false when the user quits (no data
// module then: the program never falls back to the embedded file).
bool OpenServerAtStart(const QString &appFolder);
// A DB/Server.ini that names no server (no host or database): the user is told and the program does not start, as
// quietly working on the embedded file instead would hide the shared data. False when there is nothing to say.
bool SettingsIncomplete(const QString &appFolder);
} // namespace ServerLogin

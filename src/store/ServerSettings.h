#pragma once

#include <QString>

#include <optional>

// Where the shared database server is: DB/Server.ini in the application folder. Its presence switches the program
// from the embedded file to the server. The password is never written: it is asked at every start.
struct ServerSettings {
    static inline const QString File = QStringLiteral("DB/Server.ini");

    QString host = QStringLiteral("127.0.0.1");
    int port = 5432;
    QString database;
    QString user;
    QString password; // held in memory only

    // nullopt when the application folder has no Server.ini (the embedded file is used) or when it names no
    // database.
    static std::optional<ServerSettings> read(const QString &appFolder);
    // Writes host, port, database and user; never the password. Returns false when the file cannot be written.
    bool write(const QString &appFolder, QString *error = nullptr) const;
    // Removes the file: the program goes back to the embedded database at its next start.
    static bool remove(const QString &appFolder);
};

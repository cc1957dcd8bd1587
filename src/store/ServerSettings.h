#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where the shared database server is: DB/Server.ini in the application folder. Its presence switches the program
// from the embedded file to the server. The password is never written: it is asked at every start.
struct ServerSettings {
    static inline const QString File = QStringLiteral("DB/Server.ini");

    // How the connection is protected ("加密方式"). Stored as the client library's sslmode.
    enum class Encryption {
        None,         // 不加密: sslmode=disable
        Required,     // 必须加密: sslmode=require; a server without encryption is refused
        VerifyServer, // 加密并验证服务器证书: sslmode=verify-full against rootCertificate
    };

    QString host = QStringLiteral("127.0.0.1");
    int port = 5432;
    QString database;
    QString user;
    QString password; // held in memory only
    Encryption encryption = Encryption::Required;
    // The certificate authority that signed the server's certificate (a PEM file); used with VerifyServer.
    QString rootCertificate;

    static QString sslMode(Encryption encryption);
    // The caption the dialog shows for each choice, in the order of the enum.
    static QStringList encryptionCaptions();

    // nullopt when the application folder has no Server.ini (the embedded file is used) or when it names no
    // database. A file without an encryption setting (written before there was one) asks for encryption; a
    // relative root certificate path is taken from the application folder.
    static std::optional<ServerSettings> read(const QString &appFolder);
    // Writes host, port, database, user and the encryption; never the password. Returns false when the file cannot be
    // written.
    bool write(const QString &appFolder, QString *error = nullptr) const;
    // Removes the file: the program goes back to the embedded database at its next start.
    static bool remove(const QString &appFolder);
};

#include "store/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace {
QString fileIn(const QString &appFolder) {
    return QDir(appFolder).filePath(ServerSettings::File);
}

// A mode written by hand is never taken weaker than written: anything but "disable" encrypts, and a mode that
// checks the certificate checks it fully.
ServerSettings::Encryption encryptionOf(const QString &sslMode) {
    const QString mode = sslMode.trimmed().toLower();
    if (mode == QLatin1String("disable"))
        return ServerSettings::Encryption::None;
    if (mode == QLatin1String("verify-full") || mode == QLatin1String("verify-ca"))
        return ServerSettings::Encryption::VerifyServer;
    return ServerSettings::Encryption::Required;
}
} // namespace

QString ServerSettings::sslMode(Encryption encryption) {
    switch (encryption) {
    case Encryption::None:
        return QStringLiteral("disable");
    case Encryption::VerifyServer:
        return QStringLiteral("verify-full");
    case Encryption::Required:
        break;
    }
    return QStringLiteral("require");
}

QStringList ServerSettings::encryptionCaptions() {
    return {QStringLiteral("不加密"), QStringLiteral("必须加密"), QStringLiteral("加密并验证服务器证书")};
}

std::optional<ServerSettings> ServerSettings::read(const QString &appFolder) {
    const QString file = fileIn(appFolder);
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    QSettings ini(file, QSettings::IniFormat);
    ServerSettings s;
    s.host = ini.value(QStringLiteral("Server/Host"), s.host).toString().trimmed();
    bool ok = false;
    const int port = ini.value(QStringLiteral("Server/Port"), s.port).toInt(&ok);
    if (ok && port > 0 && port < 65536)
        s.port = port;
    s.database = ini.value(QStringLiteral("Server/Database")).toString().trimmed();
    s.user = ini.value(QStringLiteral("Server/User")).toString().trimmed();
    s.encryption = encryptionOf(ini.value(QStringLiteral("Server/SSLMode")).toString());
    s.rootCertificate = ini.value(QStringLiteral("Server/SSLRootCert")).toString().trimmed();
    if (!s.rootCertificate.isEmpty())
        s.rootCertificate = QDir(appFolder).absoluteFilePath(s.rootCertificate);
    if (s.database.isEmpty() || s.host.isEmpty())
        return std::nullopt;
    return s;
}

bool ServerSettings::write(const QString &appFolder, QString *error) const {
    const QString file = fileIn(appFolder);
    // Written beside and renamed over: a half-written file would switch the program to a server nobody named.
    const QString partial = file + QStringLiteral(".new");
    QFile::remove(partial);
    {
        QSettings ini(partial, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Server/Host"), host);
        ini.setValue(QStringLiteral("Server/Port"), port);
        ini.setValue(QStringLiteral("Server/Database"), database);
        ini.setValue(QStringLiteral("Server/User"), user);
        ini.setValue(QStringLiteral("Server/SSLMode"), sslMode(encryption));
        ini.setValue(QStringLiteral("Server/SSLRootCert"), rootCertificate);
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            if (error)
                *error = QStringLiteral("cannot write ") + partial;
            QFile::remove(partial);
            return false;
        }
    }
    QFile::remove(file);
    if (!QFile::rename(partial, file)) {
        if (error)
            *error = QStringLiteral("cannot rename ") + partial;
        QFile::remove(partial);
        return false;
    }
    return true;
}

bool ServerSettings::remove(const QString &appFolder) {
    const QString file = fileIn(appFolder);
    return !QFileInfo::exists(file) || QFile::remove(file);
}

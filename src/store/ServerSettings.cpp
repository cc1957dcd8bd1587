#include "store/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace {
QString fileIn(const QString &appFolder) {
    return QDir(appFolder).filePath(ServerSettings::File);
}
} // namespace

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

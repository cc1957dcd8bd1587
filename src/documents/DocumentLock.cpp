#include "documents/DocumentLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

#include <cerrno>
#include <csignal>

namespace {

QString lockPath(const QString &document) {
    const QFileInfo info(document);
    return info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#');
}

QString userName() {
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("vantrel") : user;
}

// The last field, where the office puts its profile, names the program that wrote the lock.
QString ownerField(qint64 pid) {
    return QStringLiteral("vantrel:%1@%2").arg(pid).arg(QSysInfo::machineHostName());
}

} // namespace

namespace DocumentLock {

bool acquire(const QString &document) {
    QSaveFile file(lockPath(document));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString host = QSysInfo::machineHostName();
    const QString line = QStringList{userName(), host, userName(),
                                     QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")),
                                     ownerField(QCoreApplication::applicationPid())}
                             .join(QLatin1Char(',')) +
                         QLatin1Char(';');
    file.write(line.toUtf8());
    return file.commit();
}

void release(const QString &document) {
    QFile file(lockPath(document));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const bool ours = QString::fromUtf8(file.readAll()).contains(ownerField(QCoreApplication::applicationPid()));
    file.close();
    if (ours)
        file.remove();
}

bool isLocked(const QString &document) {
    QFile file(lockPath(document));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.readAll()).trimmed();
    // Written by a program on this machine: it counts while that program runs.
    const QString field = text.section(QLatin1Char(','), 4).chopped(text.endsWith(QLatin1Char(';')) ? 1 : 0);
    if (field.startsWith(QLatin1String("vantrel:")) &&
        field.section(QLatin1Char('@'), 1) == QSysInfo::machineHostName()) {
        bool ok = false;
        const qint64 pid = field.section(QLatin1Char(':'), 1).section(QLatin1Char('@'), 0, 0).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            return false;
    }
    return true;
}

} // namespace DocumentLock

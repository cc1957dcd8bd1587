#include "support/Processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <csignal>

QStringList processesWith(const QString &text) {
    QStringList pids;
    const QByteArray needle = text.toUtf8();
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        pid.toInt(&number);
        if (!number || pid.toLongLong() == QCoreApplication::applicationPid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle))
            pids << pid;
    }
    pids.sort();
    return pids;
}

void killAll(const QStringList &pids) {
    for (const QString &pid : pids)
        ::kill(pid.toInt(), SIGKILL);
}

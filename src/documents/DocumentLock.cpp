#include "documents/DocumentLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

QString lockPath(const QString &document) {
    const QFileInfo info(document);
    return info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#');
}

QString userName() {
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("vantrel") : user;
}

QByteArray readSmallFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

// Changes with every start of the system: process numbers and start times count only within one.
QString bootId() {
    return QString::fromLatin1(readSmallFile(QStringLiteral("/proc/sys/kernel/random/boot_id"))).trimmed();
}

// When the process began, in clock ticks since the system started; empty when there is no such process (or no
// /proc to ask). Together with the number it names one process: a number given again goes with a later start.
QString startTicks(qint64 pid) {
    const QByteArray stat = readSmallFile(QStringLiteral("/proc/%1/stat").arg(pid));
    // The program name in parentheses may hold spaces and parentheses itself: fields count from the last ')'.
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return QString();
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    // Field 22 of the line; the state (field 3) is the first after the name.
    constexpr int StartTimeField = 22 - 3;
    return fields.size() > StartTimeField ? QString::fromLatin1(fields.at(StartTimeField)) : QString();
}

// The start of a process as a point in time, for locks written before the start was recorded in them.
std::optional<QDateTime> startTime(qint64 pid) {
    bool ok = false;
    const qint64 ticks = startTicks(pid).toLongLong(&ok);
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    if (!ok || perSecond <= 0)
        return std::nullopt;
    for (const QByteArray &line : readSmallFile(QStringLiteral("/proc/stat")).split('\n')) {
        if (line.startsWith("btime ")) {
            const qint64 boot = line.mid(6).trimmed().toLongLong(&ok);
            if (ok)
                return QDateTime::fromSecsSinceEpoch(boot + ticks / perSecond);
        }
    }
    return std::nullopt;
}

// The last field, where the office puts its profile, names the program that wrote the lock.
QString ownOwnerField() {
    const qint64 pid = QCoreApplication::applicationPid();
    return QStringLiteral("vantrel:%1@%2/%3/%4").arg(pid).arg(QSysInfo::machineHostName(), bootId(), startTicks(pid));
}

struct LockLine {
    QStringList fields;
    QString owner; // the last field
};

LockLine parse(const QByteArray &bytes) {
    QString text = QString::fromUtf8(bytes).trimmed();
    if (text.endsWith(QLatin1Char(';')))
        text.chop(1);
    LockLine line;
    line.fields = text.split(QLatin1Char(','));
    line.owner = text.section(QLatin1Char(','), 4);
    return line;
}

// False only for a lock of this program on this machine whose process has ended: that process is gone, the system
// started again since, or the number now belongs to a process that began later.
bool stillHeld(const LockLine &line) {
    if (!line.owner.startsWith(QLatin1String("vantrel:")))
        return true; // an office, or a program this one cannot ask
    const QString rest = line.owner.mid(8);
    const QString place = rest.section(QLatin1Char('@'), 1);
    if (place.section(QLatin1Char('/'), 0, 0) != QSysInfo::machineHostName())
        return true; // another machine: its processes cannot be seen from here
    bool ok = false;
    const qint64 pid = rest.section(QLatin1Char('@'), 0, 0).toLongLong(&ok);
    if (!ok || pid <= 0)
        return true;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return false;
    const QString boot = place.section(QLatin1Char('/'), 1, 1);
    const QString ticks = place.section(QLatin1Char('/'), 2, 2);
    if (!boot.isEmpty() && !bootId().isEmpty() && boot != bootId())
        return false;
    if (!ticks.isEmpty()) {
        const QString now = startTicks(pid);
        return now.isEmpty() || now == ticks;
    }
    // Written before locks recorded the start: a process that began after the lock was written is not its writer.
    const QDateTime written = QDateTime::fromString(line.fields.value(3).trimmed(), QStringLiteral("dd.MM.yyyy HH:mm"));
    const std::optional<QDateTime> started = startTime(pid);
    return !written.isValid() || !started || *started <= written.addSecs(60);
}

} // namespace

namespace DocumentLock {

QString Holder::describe() const {
    QString text;
    if (!user.isEmpty())
        text += user + QLatin1Char(' ');
    if (!since.isEmpty())
        text += QStringLiteral("于 %1 ").arg(since);
    if (!host.isEmpty())
        text += QStringLiteral("在 %1 上").arg(host);
    if (!text.isEmpty())
        text += QStringLiteral("打开；");
    return text + QStringLiteral("锁定文件 ") + lockFile;
}

bool acquire(const QString &document) {
    const QString path = lockPath(document);
    const QString owner = ownOwnerField();
    // A second try after a lock of an ended program was taken away.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QFile file(path);
        // Created only when there is none: two programs never both think they wrote it. A reader that comes
        // between the creation and the line sees an empty lock, which counts as held.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            const QString line =
                QStringList{userName(), userName(), QSysInfo::machineHostName(),
                            QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")), owner}
                    .join(QLatin1Char(',')) +
                QLatin1Char(';');
            const bool written = file.write(line.toUtf8()) >= 0 && file.flush();
            file.close();
            if (!written)
                QFile::remove(path);
            return written;
        }
        if (!QFileInfo::exists(path))
            return false; // the folder cannot be written
        const QByteArray bytes = readSmallFile(path);
        const LockLine line = parse(bytes);
        if (bytes.trimmed().isEmpty() || line.owner == owner || stillHeld(line))
            return false;
        // Taken away only as it was read: a lock written meanwhile by someone else stays.
        if (readSmallFile(path) != bytes || !QFile::remove(path))
            return false;
    }
    return false;
}

void release(const QString &document) {
    const QString path = lockPath(document);
    if (parse(readSmallFile(path)).owner == ownOwnerField())
        QFile::remove(path);
}

std::optional<Holder> holder(const QString &document) {
    const QString path = lockPath(document);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const LockLine line = parse(file.read(4096));
    if (!stillHeld(line))
        return std::nullopt;
    Holder holder;
    holder.user = line.fields.value(0).trimmed();
    if (holder.user.isEmpty())
        holder.user = line.fields.value(1).trimmed();
    // This program's own locks say the machine in their last field, also those written before the fields were
    // in the office's order.
    holder.host = line.owner.startsWith(QLatin1String("vantrel:"))
                      ? line.owner.section(QLatin1Char('@'), 1).section(QLatin1Char('/'), 0, 0)
                      : line.fields.value(2).trimmed();
    holder.since = line.fields.value(3).trimmed();
    holder.lockFile = QFileInfo(path).fileName();
    return holder;
}

} // namespace DocumentLock

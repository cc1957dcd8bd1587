#include "store/DocumentStore.h"

#include "store/TDM.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSqlQuery>
#include <QThread>

namespace {

// Version of each local working copy as last fetched or written, by its full path (two application folders in one
// process are two programs).
QHash<QString, qint64> &knownVersions() {
    static QHash<QString, qint64> versions;
    return versions;
}

// Digest of each local working copy's bytes as last fetched or written, to tell a copy changed behind the program's
// back (the office's own Save) from one as the server has it.
QHash<QString, QByteArray> &knownDigests() {
    static QHash<QString, QByteArray> digests;
    return digests;
}

QByteArray digest(const QByteArray &bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}

QByteArray localBytes(const QString &file, bool *ok) {
    QFile in(file);
    *ok = in.open(QIODevice::ReadOnly);
    return *ok ? in.readAll() : QByteArray();
}

} // namespace

namespace DocumentStore {

bool active() {
    if (!TDM::exists() || TDM::instance().backend() != TDM::Backend::Server)
        return false;
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QString relativePath(const QString &localFile) {
    if (!TDM::exists() || localFile.isEmpty())
        return QString();
    const QString folder = QFileInfo(TDM::instance().appFolder()).absoluteFilePath();
    const QString relative = QDir(folder).relativeFilePath(QFileInfo(localFile).absoluteFilePath());
    if (relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
        return QString();
    return relative;
}

bool fetch(const QString &relative, QString *error) {
    if (!active())
        return true;
    TDM &dm = TDM::instance();
    const QString local = dm.path(relative);
    QSqlQuery q(dm.ADOLocal());
    QString why;
    if (!execBound(q, QStringLiteral("SELECT Content, Version FROM TFile WHERE Path=?"), {relative}, &why))
        return fail(error, why);
    if (!q.next()) {
        // Another program deleted it (or it never was): a copy left here would pass for the document. A copy this
        // program never had from the server (put here by hand, or from before the folder used the server) is
        // moved to Bak/ rather than lost.
        if (QFileInfo::exists(local)) {
            const bool known = knownVersions().contains(local);
            const QFileInfo info(local);
            const QString kept = dm.path(QStringLiteral("Bak/")) + info.completeBaseName() +
                                 QStringLiteral("_本机副本_") +
                                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")) +
                                 QLatin1Char('.') + info.suffix();
            if (known ? !QFile::remove(local)
                      : !(QDir().mkpath(dm.path(QStringLiteral("Bak"))) && QFile::rename(local, kept)))
                return fail(error, QStringLiteral("cannot remove ") + local);
        }
        knownVersions().insert(local, 0);
        knownDigests().remove(local);
        return true;
    }
    const QByteArray content = q.value(0).toByteArray();
    const qint64 version = q.value(1).toLongLong();
    bool readable = false;
    if (localBytes(local, &readable) != content || !readable) {
        QDir().mkpath(QFileInfo(local).absolutePath());
        QSaveFile out(local);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit())
            return fail(error, out.errorString());
    }
    knownVersions().insert(local, version);
    knownDigests().insert(local, digest(content));
    return true;
}

Outcome put(const QString &relative, QString *error) {
    if (!active())
        return Outcome::Done;
    TDM &dm = TDM::instance();
    const QString local = dm.path(relative);
    bool readable = false;
    const QByteArray content = localBytes(local, &readable);
    if (!readable) {
        fail(error, QStringLiteral("cannot read ") + local);
        return Outcome::Failed;
    }
    // -1: never fetched by this program, so nothing to hold the server's version against.
    const qint64 expected = knownVersions().value(local, -1);
    Outcome outcome = Outcome::Failed;
    qint64 written = 0;
    QString why;
    const bool committed = dm.inTransaction(
        [&] {
            QSqlQuery q(dm.ADOLocal());
            // The row stays locked until the commit: a second writer waits here and then sees the new version.
            if (!execBound(q, QStringLiteral("SELECT Version FROM TFile WHERE Path=? FOR UPDATE"), {relative}, &why))
                return false;
            const qint64 current = q.next() ? q.value(0).toLongLong() : 0;
            if (expected >= 0 && expected != current) {
                outcome = Outcome::Conflict;
                return false;
            }
            written = current + 1;
            if (current > 0) {
                return execBound(q, QStringLiteral("UPDATE TFile SET Content=?, Version=? WHERE Path=?"),
                                 {content, written, relative}, &why);
            }
            // Two programs creating one document at once: the one whose row is already there wins.
            if (!execBound(q,
                           QStringLiteral("INSERT INTO TFile (Path, Content, Version) VALUES (?, ?, ?) "
                                          "ON CONFLICT (Path) DO NOTHING"),
                           {relative, content, written}, &why))
                return false;
            if (q.numRowsAffected() < 1) {
                outcome = Outcome::Conflict;
                return false;
            }
            return true;
        },
        &why);
    if (committed) {
        knownVersions().insert(local, written);
        knownDigests().insert(local, digest(content));
        return Outcome::Done;
    }
    if (outcome != Outcome::Conflict)
        fail(error, why);
    return outcome;
}

bool changedLocally(const QString &relative) {
    if (!active())
        return false;
    const QString local = TDM::instance().path(relative);
    const auto known = knownDigests().constFind(local);
    bool readable = false;
    const QByteArray bytes = localBytes(local, &readable);
    if (!readable)
        return false;
    // A file the server did not have when fetched counts as changed once it is there.
    return known == knownDigests().constEnd() ? knownVersions().contains(local) : digest(bytes) != *known;
}

bool remove(const QString &relative, QString *error) {
    knownVersions().remove(TDM::exists() ? TDM::instance().path(relative) : relative);
    knownDigests().remove(TDM::exists() ? TDM::instance().path(relative) : relative);
    if (!active())
        return true;
    QSqlQuery q(TDM::instance().ADOLocal());
    QString why;
    if (!execBound(q, QStringLiteral("DELETE FROM TFile WHERE Path=?"), {relative}, &why))
        return fail(error, why);
    return true;
}

bool removeUnder(const QString &folder, QString *error) {
    if (!active())
        return true;
    QSqlQuery q(TDM::instance().ADOLocal());
    QString why;
    // A prefix compared as text: LIKE would read '_' and '%' in the path as wildcards.
    if (!execBound(q, QStringLiteral("DELETE FROM TFile WHERE substr(Path, 1, ?) = ?"), {int(folder.size()), folder},
                   &why))
        return fail(error, why);
    return true;
}

bool exists(const QString &relative) {
    if (!active())
        return TDM::exists() && QFileInfo::exists(TDM::instance().path(relative));
    return TDM::instance().GetDataBySQL(QStringLiteral("SELECT count(*) FROM TFile WHERE Path=?"), {relative}) ==
           QLatin1String("1");
}

} // namespace DocumentStore

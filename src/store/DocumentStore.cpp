#include "store/DocumentStore.h"

#include "platform/Clock.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>
#include <optional>

namespace {

// What the program last had of one working copy.
struct CopyState {
    qint64 version = -1; // the server's version when last fetched or written; 0: it had none; -1: never fetched
    QByteArray digest;   // of the bytes then; empty when the server had none
    QByteArray kept;     // of the bytes last kept aside in Bak/
    bool operator==(const CopyState &) const = default;
};

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

QString stateFile(const QString &relative) {
    return Database::instance().path(DocumentStore::StateFolder + relative);
}

// nullopt when nothing is remembered, also for a file cut short by a crash: the copy then counts as unknown.
std::optional<CopyState> readState(const QString &relative) {
    bool readable = false;
    const QList<QByteArray> lines = localBytes(stateFile(relative), &readable).split('\n');
    if (!readable || lines.size() < 4)
        return std::nullopt;
    CopyState state;
    bool number = false;
    state.version = lines.at(0).toLongLong(&number);
    if (!number || state.version < -1)
        return std::nullopt;
    state.digest = QByteArray::fromHex(lines.at(1));
    state.kept = QByteArray::fromHex(lines.at(2));
    return state;
}

// Written beside and renamed over, so a reader sees the old state or the new one. Not synced to the disk: a state
// lost in a crash only makes the next fetch keep one copy more.
void writeState(const QString &relative, const std::optional<CopyState> &before, const CopyState &state) {
    if (before == state)
        return;
    const QString file = stateFile(relative);
    const QString partial = file + QStringLiteral(".new");
    const QByteArray text =
        QByteArray::number(state.version) + '\n' + state.digest.toHex() + '\n' + state.kept.toHex() + '\n';
    QFile out(partial);
    const bool written = QDir().mkpath(QFileInfo(file).absolutePath()) &&
                         out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(text) == text.size() &&
                         out.flush();
    out.close();
    if (written && std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(file).constData()) == 0)
        return;
    // A state that could not be brought up to date must not vouch for the copy any more.
    QFile::remove(partial);
    QFile::remove(file);
}

// Copies the local file into Bak/; the copy's path or empty text.
QString copyToBak(const QString &local, const QString &label) {
    const QFileInfo info(local);
    const QString folder = Database::instance().path(QStringLiteral("Bak"));
    if (!QDir().mkpath(folder))
        return QString();
    const QString stamp = Clock::instance().now().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QString stem =
        folder + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('_') + label + QLatin1Char('_') + stamp;
    QString copy = stem + QLatin1Char('.') + info.suffix();
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = stem + QStringLiteral("_%1.").arg(n) + info.suffix();
    return QFile::copy(local, copy) ? copy : QString();
}

QString notKeptText(const QString &local) {
    return QStringLiteral("本机的文件“%1”与程序从服务器取得或保存的版本不同，又不能在Bak文件夹中保留它的副本，"
                          "所以没有用服务器上的版本替换它。请先将这个文件另存到其他位置。")
        .arg(QDir::toNativeSeparators(local));
}

const QString ChangedHere = QStringLiteral("本机修改");
const QString NeverFetched = QStringLiteral("本机副本");

} // namespace

namespace DocumentStore {

bool active() {
    if (!Database::exists() || Database::instance().backend() != Database::Backend::Server)
        return false;
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QString relativePath(const QString &localFile) {
    if (!Database::exists() || localFile.isEmpty())
        return QString();
    const QString folder = QFileInfo(Database::instance().appFolder()).absoluteFilePath();
    const QString relative = QDir(folder).relativeFilePath(QFileInfo(localFile).absoluteFilePath());
    if (relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
        return QString();
    return relative;
}

bool fetch(const QString &relative, QString *error) {
    if (!active())
        return true;
    Database &dm = Database::instance();
    const QString local = dm.path(relative);
    QSqlQuery q(dm.connection());
    QString why;
    if (!execBound(q, QStringLiteral("SELECT Content, Version FROM TFile WHERE Path=?"), {relative}, &why))
        return fail(error, why);
    const std::optional<CopyState> known = readState(relative);
    CopyState next = known.value_or(CopyState{});
    const bool present = QFileInfo::exists(local);
    bool readable = false;
    const QByteArray bytes = present ? localBytes(local, &readable) : QByteArray();
    const QByteArray localDigest = readable ? digest(bytes) : QByteArray();
    // A copy as this program fetched or wrote it, or one already kept aside, may go; any other is the user's work
    // (changed outside the program, or there before the program ever fetched it) and is kept in Bak/ first.
    const bool accountedFor =
        !present || (known && readable && (localDigest == known->digest || localDigest == known->kept));
    const auto keep = [&] {
        if (accountedFor)
            return true;
        if (copyToBak(local, known && known->version >= 0 ? ChangedHere : NeverFetched).isEmpty())
            return false;
        next.kept = localDigest;
        return true;
    };

    if (!q.next()) {
        // Another program deleted it (or it never was): a copy left here would pass for the document.
        if (present && !keep())
            return fail(error, notKeptText(local));
        if (present && !QFile::remove(local)) {
            writeState(relative, known, next);
            return fail(error, QStringLiteral("cannot remove ") + local);
        }
        next.version = 0;
        next.digest.clear();
        writeState(relative, known, next);
        return true;
    }
    const QByteArray content = q.value(0).toByteArray();
    const qint64 version = q.value(1).toLongLong();
    if (bytes != content || !readable) {
        if (!keep())
            return fail(error, notKeptText(local));
        QDir().mkpath(QFileInfo(local).absolutePath());
        QSaveFile out(local);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
            writeState(relative, known, next);
            return fail(error, out.errorString());
        }
    }
    next.version = version;
    next.digest = digest(content);
    writeState(relative, known, next);
    return true;
}

Outcome put(const QString &relative, QString *error) {
    if (!active())
        return Outcome::Done;
    Database &dm = Database::instance();
    const QString local = dm.path(relative);
    bool readable = false;
    const QByteArray content = localBytes(local, &readable);
    if (!readable) {
        fail(error, QStringLiteral("cannot read ") + local);
        return Outcome::Failed;
    }
    const std::optional<CopyState> known = readState(relative);
    // -1: never fetched by this program, so any version on the server is one it has not seen.
    const qint64 expected = known ? known->version : -1;
    Outcome outcome = Outcome::Failed;
    qint64 written = 0;
    QString why;
    const bool committed = dm.inTransaction(
        [&] {
            QSqlQuery q(dm.connection());
            // The row stays locked until the commit: a second writer waits here and then sees the new version.
            if (!execBound(q, QStringLiteral("SELECT Version FROM TFile WHERE Path=? FOR UPDATE"), {relative}, &why))
                return false;
            const qint64 current = q.next() ? q.value(0).toLongLong() : 0;
            if (expected < 0 ? current > 0 : expected != current) {
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
        CopyState next = known.value_or(CopyState{});
        next.version = written;
        next.digest = digest(content);
        writeState(relative, known, next);
        return Outcome::Done;
    }
    if (outcome != Outcome::Conflict)
        fail(error, why);
    return outcome;
}

bool changedLocally(const QString &relative) {
    if (!active())
        return false;
    const std::optional<CopyState> known = readState(relative);
    if (!known || known->version < 0)
        return false;
    bool readable = false;
    const QByteArray bytes = localBytes(Database::instance().path(relative), &readable);
    if (!readable)
        return false;
    // A file the server did not have when fetched counts as changed once it is there.
    return known->digest.isEmpty() || digest(bytes) != known->digest;
}

QString keepAside(const QString &relative, const QString &label) {
    if (!Database::exists())
        return QString();
    const QString local = Database::instance().path(relative);
    const QString copy = copyToBak(local, label);
    bool readable = false;
    const QByteArray bytes = localBytes(copy, &readable);
    if (copy.isEmpty() || !readable)
        return copy;
    const std::optional<CopyState> known = readState(relative);
    CopyState next = known.value_or(CopyState{});
    next.kept = digest(bytes);
    writeState(relative, known, next);
    return copy;
}

bool keptAside(const QString &relative) {
    if (!Database::exists())
        return false;
    const std::optional<CopyState> known = readState(relative);
    bool readable = false;
    const QByteArray bytes = localBytes(Database::instance().path(relative), &readable);
    return known && readable && !known->kept.isEmpty() && digest(bytes) == known->kept;
}

bool remove(const QString &relative, QString *error) {
    if (Database::exists())
        QFile::remove(stateFile(relative));
    if (!active())
        return true;
    QSqlQuery q(Database::instance().connection());
    QString why;
    if (!execBound(q, QStringLiteral("DELETE FROM TFile WHERE Path=?"), {relative}, &why))
        return fail(error, why);
    return true;
}

bool removeUnder(const QString &folder, QString *error) {
    if (!active())
        return true;
    QSqlQuery q(Database::instance().connection());
    QString why;
    // A prefix compared as text: LIKE would read '_' and '%' in the path as wildcards.
    if (!execBound(q, QStringLiteral("DELETE FROM TFile WHERE substr(Path, 1, ?) = ?"), {int(folder.size()), folder},
                   &why))
        return fail(error, why);
    QDir(stateFile(folder)).removeRecursively();
    return true;
}

bool exists(const QString &relative) {
    if (!active())
        return Database::exists() && QFileInfo::exists(Database::instance().path(relative));
    return Database::instance().GetDataBySQL(QStringLiteral("SELECT count(*) FROM TFile WHERE Path=?"), {relative}) ==
           QLatin1String("1");
}

} // namespace DocumentStore

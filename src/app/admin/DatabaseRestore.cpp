#include "app/admin/DatabaseRestore.h"

#include "app/admin/DatabaseFiles.h"
#include "app/admin/StagedReplacement.h"
#include "app/admin/StoreCopy.h"
#include "app/admin/ZipArchiveReader.h"
#include "store/TDM.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <optional>

namespace {
bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}

bool holdsFiles(const QString &folder) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

// Unpacks the archive into staging (its database checked before anything is replaced); the files unpacked, or
// nullopt with the reason.
std::optional<QStringList> stage(const QString &archive, const QString &app, const QTemporaryDir &staging,
                                 const QTemporaryDir &undo, QString *error) {
    ZipArchiveReader reader;
    if (!reader.open(archive, error))
        return std::nullopt;
    if (!reader.contains(DatabaseFiles::Database)) {
        fail(error, QStringLiteral("the archive holds no database file"));
        return std::nullopt;
    }
    if (!staging.isValid() || !undo.isValid()) {
        fail(error, QStringLiteral("cannot create a staging folder in ") + app);
        return std::nullopt;
    }
    auto files = reader.extractTo(
        staging.path(), [](const ZipArchiveReader::Entry &e) { return DatabaseFiles::isTransient(e.name); }, error);
    reader.close();
    if (!files || !DatabaseRestore::isUsableDatabase(staging.filePath(DatabaseFiles::Database), error))
        return std::nullopt;
    return files;
}
} // namespace

bool DatabaseRestore::isUsableDatabase(const QString &file, QString *error) {
    static int serial = 0;
    const QString connection = QStringLiteral("restore-check-%1").arg(++serial);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            fail(error, db.lastError().text());
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
                q.value(0).toString() != QLatin1String("ok")) {
                fail(error, QStringLiteral("database check failed: ") + q.lastError().text());
            } else if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                                              "('TContractClass','TDataPara','TContractMain','TPara')")) ||
                       !q.next() || q.value(0).toInt() != 4) {
                fail(error, QStringLiteral("not a database of this system"));
            } else {
                ok = true;
            }
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

bool DatabaseRestore::restore(const QString &archive, const QString &appFolder, QString *error) {
    QString app = appFolder;
    if (!app.endsWith(QLatin1Char('/')))
        app += QLatin1Char('/');

    // Beside DB, so that moving the staged files in is a rename on the same disk.
    QTemporaryDir staging(app + QStringLiteral("DB.restore-XXXXXX"));
    QTemporaryDir undo(app + QStringLiteral("DB.undo-XXXXXX"));
    const auto files = stage(archive, app, staging, undo, error);
    if (!files)
        return false;

    StagedReplacement replacement(staging.path(), app + QStringLiteral("DB"), undo.path());
    if (!replacement.apply(*files, DatabaseFiles::transientFiles(), error)) {
        // Whatever could not be put back stays in the undo folder rather than being thrown away.
        if (holdsFiles(undo.path()))
            undo.setAutoRemove(false);
        return false;
    }
    QDir(app).mkpath(QStringLiteral("DB/ModelFiles"));
    QDir(app).mkpath(QStringLiteral("DB/ContractFile"));
    return true;
}

namespace {

bool isServerDocument(const QString &relative) {
    return relative.startsWith(QLatin1String("ModelFiles/")) || relative.startsWith(QLatin1String("ContractFile/"));
}

QByteArray fileBytes(const QString &file, bool *ok) {
    QFile in(file);
    *ok = in.open(QIODevice::ReadOnly);
    return *ok ? in.readAll() : QByteArray();
}

// Replaces every row and document of the server by the staged archive's, in the caller's transaction.
bool loadIntoServer(TDM &dm, const QString &staging, const QStringList &files, QString *error) {
    static int serial = 0;
    const QString connection = QStringLiteral("restore-source-%1").arg(++serial);
    bool ok = false;
    {
        QSqlDatabase source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        source.setDatabaseName(staging + QLatin1Char('/') + DatabaseFiles::Database);
        source.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!source.open()) {
            fail(error, source.lastError().text());
        } else {
            QSqlQuery q(dm.ADOLocal());
            // Every document gets a version above any a program may hold: its next save is told of the restore.
            ok = q.exec(QStringLiteral("SELECT COALESCE(MAX(Version), 0) + 1 FROM TFile")) && q.next();
            const qint64 version = ok ? q.value(0).toLongLong() : 0;
            QStringList deletes{QStringLiteral("DELETE FROM TFile")};
            for (const QString &table : StoreCopy::tables())
                deletes << QStringLiteral("DELETE FROM ") + table;
            for (const QString &sql : deletes)
                ok = ok && q.exec(sql);
            if (!ok)
                fail(error, q.lastError().text());
            ok = ok && StoreCopy::copyRows(source, dm.ADOLocal(), error) &&
                 StoreCopy::resetGenerators(dm.ADOLocal(), error);
            for (const QString &name : files) {
                if (!ok || !isServerDocument(name))
                    continue;
                bool read = false;
                const QByteArray content = fileBytes(staging + QLatin1Char('/') + name, &read);
                ok = read ? execBound(q, QStringLiteral("INSERT INTO TFile (Path, Content, Version) VALUES (?, ?, ?)"),
                                      {QString(QStringLiteral("DB/") + name), content, version}, error)
                          : fail(error, QStringLiteral("cannot read ") + name);
            }
            q.finish();
            source.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace

bool DatabaseRestore::restoreIntoServer(const QString &archive, TDM &dm, QString *error) {
    if (dm.backend() != TDM::Backend::Server || !dm.isConnected())
        return fail(error, QStringLiteral("no server connection"));
    const QString app = dm.appFolder();
    QTemporaryDir staging(app + QStringLiteral("DB.restore-XXXXXX"));
    QTemporaryDir undo(app + QStringLiteral("DB.undo-XXXXXX"));
    const auto files = stage(archive, app, staging, undo, error);
    if (!files)
        return false;

    if (!dm.inTransaction([&] { return loadIntoServer(dm, staging.path(), *files, error); }, error))
        return false;

    // The rest of the archive (the blank template) goes into this folder's DB as the embedded restore puts it.
    QStringList local;
    for (const QString &name : *files) {
        if (name != DatabaseFiles::Database && !isServerDocument(name))
            local << name;
    }
    StagedReplacement replacement(staging.path(), app + QStringLiteral("DB"), undo.path());
    if (!replacement.apply(local, {}, error)) {
        if (holdsFiles(undo.path()))
            undo.setAutoRemove(false);
        return false;
    }
    return true;
}

#include "app/admin/DatabaseBackup.h"

#include "app/admin/DatabaseFiles.h"
#include "app/admin/DatabaseRestore.h"
#include "archive/ZipArchiveWriter.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/StoreCopy.h"
#include "store/StoreMaintenance.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QTemporaryDir>

#include <optional>

QString DatabaseBackup::proposedArchivePath(const QString &appFolder, const QDate &today) {
    QString folder = appFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("Bak/") + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".HTBK");
}

namespace {

bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}

// The server's documents written into `folder` under their names below DB/.
bool writeServerDocuments(Database &dm, const QString &folder, QList<ZipArchiveWriter::Source> &sources, QString *error,
                          QString *unfitName) {
    // The names first, then one document at a time: the driver holds a whole result in memory.
    const std::optional<QStringList> stored = StoreMaintenance::documentPaths(dm, error);
    if (!stored)
        return false;
    const QStringList &paths = *stored;
    const QString prefix = QStringLiteral("DB/");
    // Every name is checked before a document is read: a backup with a document left out would not be the
    // server's data, and one the restore refuses would be no backup at all.
    for (const QString &path : paths) {
        const QString name = path.mid(prefix.size());
        const QString problem = !path.startsWith(prefix)           ? QStringLiteral("not below DB/")
                                : !DatabaseFiles::isDocument(name) ? QStringLiteral("not a document")
                                                                   : DatabaseFiles::archiveNameProblem(name);
        if (!problem.isEmpty()) {
            if (unfitName)
                *unfitName = path;
            return fail(error, QStringLiteral("document name unfit for an archive: ") + path + QStringLiteral(" (") +
                                   problem + QLatin1Char(')'));
        }
    }
    for (const QString &path : paths) {
        const QString name = path.mid(prefix.size());
        std::optional<QByteArray> read;
        if (!StoreMaintenance::readDocument(dm.connection(), path, &read, error))
            return false;
        if (!read)
            return fail(error, QStringLiteral("document gone: ") + path);
        const QString file = folder + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(file).absolutePath());
        const QByteArray &content = *read;
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit())
            return fail(error, out.errorString());
        sources << ZipArchiveWriter::Source{name, file};
    }
    return true;
}

// The server's data as a database file of the embedded store, and its documents into `documents`, read in one
// snapshot so that rows and documents agree.
bool writeServerData(Database &dm, const QString &file, const QString &documents,
                     QList<ZipArchiveWriter::Source> &sources, QString *error, QString *unfitName) {
    static int serial = 0;
    const QString connection = QStringLiteral("backup-copy-%1").arg(++serial);
    bool ok = false;
    {
        QSqlDatabase target = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        target.setDatabaseName(file);
        if (!target.open()) {
            fail(error, target.lastError().text());
        } else {
            // The fresh schema brings the parameter row of a new database; the server's takes its place.
            ok = Schema::create(target, error) && StoreMaintenance::clearParameters(target, error);
            if (ok) {
                ok = dm.inTransaction(
                    [&] {
                        if (!StoreMaintenance::readSnapshot(dm.connection(), error))
                            return false;
                        return inTransaction(
                                   target, [&] { return StoreCopy::copyRows(dm.connection(), target, error); },
                                   error) &&
                               writeServerDocuments(dm, documents, sources, error, unfitName);
                    },
                    error);
            }
            target.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

// The archive as written is what a restore takes: sound, every entry there, every name one the restore accepts.
Status restorable(const QString &written, const QList<ZipArchiveWriter::Source> &sources) {
    if (Status sound = ZipArchiveWriter::readBack(written, sources); !sound)
        return sound;
    QString why;
    return DatabaseRestore::wouldRestore(written, &why) ? Status::success() : Status::failure(why);
}

// Whether a file of the folder DB goes into the archive: the blank template and the documents do, anything else
// (a server's connection file, a file someone left there) does not. A document whose name the restore would refuse
// fails the backup.
enum class Kind { Data, Other, Unfit };
Kind kindOf(const QString &relative, QString *error, QString *unfitName) {
    if (relative != DatabaseFiles::EmptyDoc && !DatabaseFiles::isDocument(relative))
        return Kind::Other;
    const QString problem = DatabaseFiles::archiveNameProblem(relative);
    if (problem.isEmpty())
        return Kind::Data;
    if (unfitName)
        *unfitName = relative;
    fail(error, QStringLiteral("document name unfit for an archive: ") + problem);
    return Kind::Unfit;
}

// Above this the database copy for the archive goes to a file rather than into memory.
constexpr qint64 MaxDatabaseInMemory = qint64(512) << 20;

} // namespace

bool DatabaseBackup::write(Database &dm, const QString &archive, QString *error, QString *unfitName) {
    if (dm.backend() == Database::Backend::Server)
        return writeServer(dm, archive, error, unfitName);
    return writeFolder(dm.appFolder(), archive, dm.isConnected() ? &dm : nullptr, error, unfitName);
}

bool DatabaseBackup::writeFolder(const QString &appFolder, const QString &archive, Database *connected, QString *error,
                                 QString *unfitName) {
    QString app = appFolder;
    if (!app.endsWith(QLatin1Char('/')))
        app += QLatin1Char('/');
    const QString dbFolder = app + QStringLiteral("DB/");
    if (!QFileInfo(dbFolder).isDir()) {
        if (error)
            *error = QStringLiteral("no folder ") + dbFolder;
        return false;
    }
    const QString archivePath = QFileInfo(archive).absoluteFilePath();
    const QString archiveCanonical = QFileInfo(archive).canonicalFilePath();

    // Listed before anything is written beside the archive, which may lie inside DB.
    QList<ZipArchiveWriter::Source> sources;
    sources << ZipArchiveWriter::Source{DatabaseFiles::Database, dbFolder + DatabaseFiles::Database};
    const QDir root(dbFolder);
    QDirIterator it(dbFolder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QFileInfo info(file);
        if (!info.isFile())
            continue;
        const QString relative = root.relativeFilePath(file);
        if (relative == DatabaseFiles::Database || DatabaseFiles::isTransient(relative))
            continue;
        // Saving the archive inside DB must not store the archive (or the earlier file it replaces) in itself.
        if (info.absoluteFilePath() == archivePath ||
            (!archiveCanonical.isEmpty() && info.canonicalFilePath() == archiveCanonical))
            continue;
        const Kind kind = kindOf(relative, error, unfitName);
        if (kind == Kind::Unfit)
            return false;
        if (kind == Kind::Data)
            sources << ZipArchiveWriter::Source{relative, file};
    }

    // The live file may be in the middle of a write; the archive gets a copy taken through SQLite's backup. A
    // database of ordinary size is copied in memory and compressed from there, so its bytes are read once, as
    // zip reads a file. A larger one is staged beside the archive, where the archive needs the room anyway, not in
    // the system's temporary folder, which may be small.
    std::optional<QTemporaryDir> snapshotDir;
    if (connected && QFileInfo(sources.first().file).size() <= MaxDatabaseInMemory) {
        std::optional<QByteArray> image = connected->databaseImage(error);
        if (!image)
            return false;
        sources.first().file.clear();
        sources.first().content = std::move(*image);
    } else if (connected) {
        const QFileInfo target(archivePath);
        snapshotDir.emplace(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                            QStringLiteral(".db-XXXXXX"));
        if (!snapshotDir->isValid()) {
            if (error)
                *error = QStringLiteral("cannot create a folder for the database copy beside ") + archivePath;
            return false;
        }
        sources.first().file = snapshotDir->filePath(DatabaseFiles::Database);
        if (!connected->backupDatabaseTo(sources.first().file, error))
            return false;
    }
    const Status written = ZipArchiveWriter::write(archive, sources, restorable);
    return written || fail(error, written.error);
}

bool DatabaseBackup::writeServer(Database &dm, const QString &archive, QString *error, QString *unfitName) {
    if (!dm.isConnected())
        return fail(error, QStringLiteral("database not open"));
    const QString archivePath = QFileInfo(archive).absoluteFilePath();
    const QFileInfo target(archivePath);
    // Staged beside the archive, which needs the room anyway.
    QTemporaryDir staging(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                          QStringLiteral(".db-XXXXXX"));
    if (!staging.isValid())
        return fail(error, QStringLiteral("cannot create a folder for the database copy beside ") + archivePath);

    QList<ZipArchiveWriter::Source> sources;
    sources << ZipArchiveWriter::Source{DatabaseFiles::Database, staging.filePath(DatabaseFiles::Database)};
    if (!writeServerData(dm, sources.first().file, staging.filePath(QStringLiteral("DB")), sources, error, unfitName))
        return false;

    // The blank template is not kept on the server: it travels from this folder's DB as from the embedded store.
    // The local copies of server documents and the connection file do not.
    const QString blank = dm.path(QStringLiteral("DB/")) + DatabaseFiles::EmptyDoc;
    if (QFileInfo(blank).isFile() && QFileInfo(blank).absoluteFilePath() != archivePath)
        sources << ZipArchiveWriter::Source{DatabaseFiles::EmptyDoc, blank};
    const Status written = ZipArchiveWriter::write(archive, sources, restorable);
    return written || fail(error, written.error);
}

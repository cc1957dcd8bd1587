#include "app/admin/DatabaseRestore.h"

#include "app/admin/DatabaseFiles.h"
#include "archive/StagedReplacement.h"
#include "archive/ZipArchiveReader.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "store/Schema.h"
#include "store/StoreCopy.h"
#include "store/StoreMaintenance.h"
#include "store/Transaction.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTemporaryDir>

#include <algorithm>
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

// Opens the archive and checks that it holds the data and nothing else; the entry that is no part of the data goes
// to `refused`.
bool openChecked(ZipArchiveReader &reader, const QString &archive, QString *refused, QString *error) {
    if (const Status opened = reader.open(archive); !opened)
        return fail(error, opened.error);
    for (const ZipArchiveReader::Entry &entry : reader.entries()) {
        if (DatabaseFiles::isTransient(entry.name))
            continue;
        const QString problem = DatabaseFiles::archiveNameProblem(entry.name, entry.isFolder);
        if (!problem.isEmpty()) {
            if (refused)
                *refused = entry.name;
            return fail(error, problem);
        }
    }
    if (!reader.contains(DatabaseFiles::Database))
        return fail(error, QStringLiteral("the archive holds no database file"));
    return true;
}

// Unpacks the archive into staging (its database checked before anything is replaced); the files unpacked, or
// nullopt with the reason.
std::optional<QStringList> stage(const QString &archive, const QString &app, const QTemporaryDir &staging,
                                 const QTemporaryDir &undo, DatabaseRestore::Outcome &outcome, QString *error) {
    ZipArchiveReader reader;
    if (!openChecked(reader, archive, &outcome.refusedEntry, error))
        return std::nullopt;
    if (!staging.isValid() || !undo.isValid()) {
        fail(error, QStringLiteral("cannot create a staging folder in ") + app);
        return std::nullopt;
    }
    // The contracts are the owner's alone, whatever modes the archive stored.
    reader.setOwnerOnly(true);
    const Result<QStringList> files = reader.extractTo(
        staging.path(), [](const ZipArchiveReader::Entry &e) { return DatabaseFiles::isTransient(e.name); });
    reader.close();
    if (!files) {
        fail(error, files.error);
        return std::nullopt;
    }
    if (!DatabaseRestore::isUsableDatabase(staging.filePath(DatabaseFiles::Database), error))
        return std::nullopt;
    return files.value;
}

// The template and contract documents now in DB, relative to it.
QStringList localDocuments(const QString &db) {
    QStringList found;
    const QDir root(db);
    for (const QString &folder : {DatabaseFiles::ModelFolder, DatabaseFiles::ContractFolder}) {
        QDirIterator it(root.filePath(folder), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << root.relativeFilePath(it.next());
    }
    return found;
}

// Sub-folders of the document folders that the replacement emptied.
void removeEmptyFolders(const QString &db) {
    for (const QString &folder : {DatabaseFiles::ModelFolder, DatabaseFiles::ContractFolder}) {
        QStringList folders;
        QDirIterator it(db + folder, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            folders << it.next();
        // Deepest first, so that a folder whose only content was an empty folder goes too.
        std::sort(folders.begin(), folders.end(),
                  [](const QString &a, const QString &b) { return a.size() > b.size(); });
        for (const QString &sub : folders)
            QDir().rmdir(sub);
    }
}

// Keeps what could not be put back after a failure, and says where.
void keepLeftovers(QTemporaryDir &undo, DatabaseRestore::Outcome &outcome) {
    if (!holdsFiles(undo.path()))
        return;
    undo.setAutoRemove(false);
    outcome.localUnchanged = false;
    outcome.leftoverFolder = undo.path();
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
            QString why;
            if (!StoreMaintenance::quickCheck(db, &why))
                fail(error, QStringLiteral("database check failed: ") + why);
            else if (!StoreMaintenance::hasDataTables(db))
                fail(error, QStringLiteral("not a database of this system"));
            else
                ok = true;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

namespace {

// The history row of a restore: the archive it came from.
ChangeHistory::Entry restoreEntry(const QString &archive) {
    return {0,
            QString(),
            ChangeHistory::Restored,
            {{QStringLiteral("备份文件"), QString(), QFileInfo(archive).fileName()}},
            QString(),
            QString()};
}

// The staged database keeps the archive's history and gains the restore's own entry before it takes the place of
// the current one. An archive of an earlier version is brought up to date first, as opening it would.
bool recordRestoreIn(const QString &file, const QString &archive, QString *error) {
    static int serial = 0;
    const QString connection = QStringLiteral("restore-history-%1").arg(++serial);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (!db.open())
            fail(error, db.lastError().text());
        else
            ok = Schema::upgrade(db, error) &&
                 inTransaction(
                     db, [&] { return ChangeHistory::record(db, restoreEntry(archive), error); }, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace

bool DatabaseRestore::restore(const QString &archive, const QString &appFolder, QString *error, Outcome *outcome) {
    Outcome ignored;
    Outcome &out = outcome ? *outcome : ignored;
    out = Outcome{};
    QString app = appFolder;
    if (!app.endsWith(QLatin1Char('/')))
        app += QLatin1Char('/');
    const QString db = app + QStringLiteral("DB/");

    // Beside DB, so that moving the staged files in is a rename on the same disk.
    QTemporaryDir staging(app + QStringLiteral("DB.restore-XXXXXX"));
    QTemporaryDir undo(app + QStringLiteral("DB.undo-XXXXXX"));
    const auto files = stage(archive, app, staging, undo, out, error);
    if (!files || !recordRestoreIn(staging.path() + QLatin1Char('/') + DatabaseFiles::Database, archive, error))
        return false;

    // Documents the archive does not hold go with the database they belonged to: the restored database hands
    // their IDs and category codes out again, and a stale contract would then pass for a new record's.
    QStringList removals = DatabaseFiles::transientFiles();
    for (const QString &document : localDocuments(db)) {
        if (!files->contains(document))
            removals << document;
    }
    StagedReplacement replacement(staging.path(), app + QStringLiteral("DB"), undo.path());
    if (const Status replaced = replacement.apply(*files, removals); !replaced) {
        fail(error, replaced.error);
        // Whatever could not be put back stays in the undo folder rather than being thrown away.
        keepLeftovers(undo, out);
        return false;
    }
    out.localUnchanged = false;
    removeEmptyFolders(db);
    QDir(app).mkpath(QStringLiteral("DB/ModelFiles"));
    QDir(app).mkpath(QStringLiteral("DB/ContractFile"));
    return true;
}

bool DatabaseRestore::wouldRestore(const QString &archive, QString *error) {
    ZipArchiveReader reader;
    QString refused;
    return openChecked(reader, archive, &refused, error);
}

namespace {

QByteArray fileBytes(const QString &file, bool *ok) {
    QFile in(file);
    *ok = in.open(QIODevice::ReadOnly);
    return *ok ? in.readAll() : QByteArray();
}

// Replaces every row and document of the server by the staged archive's, in the caller's transaction.
bool loadIntoServer(Database &dm, const QString &staging, const QStringList &files, QString *error) {
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
            // Every document gets a version above any a program may hold: its next save is told of the restore.
            const std::optional<qint64> version = StoreMaintenance::nextDocumentVersion(dm.connection(), error);
            ok = version && StoreMaintenance::deleteAllData(dm.connection(), error);
            ok = ok && StoreCopy::copyRows(source, dm.connection(), error) &&
                 StoreCopy::resetGenerators(dm.connection(), error);
            for (const QString &name : files) {
                if (!ok || !DatabaseFiles::isDocument(name))
                    continue;
                bool read = false;
                const QByteArray content = fileBytes(staging + QLatin1Char('/') + name, &read);
                ok = read ? StoreMaintenance::insertDocument(dm.connection(), QStringLiteral("DB/") + name, content,
                                                             *version, error)
                          : fail(error, QStringLiteral("cannot read ") + name);
            }
            source.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace

bool DatabaseRestore::restoreIntoServer(const QString &archive, Database &dm, QString *error, Outcome *outcome) {
    Outcome ignored;
    Outcome &out = outcome ? *outcome : ignored;
    out = Outcome{};
    if (dm.backend() != Database::Backend::Server || !dm.isConnected())
        return fail(error, QStringLiteral("no server connection"));
    const QString app = dm.appFolder();
    QTemporaryDir staging(app + QStringLiteral("DB.restore-XXXXXX"));
    QTemporaryDir undo(app + QStringLiteral("DB.undo-XXXXXX"));
    const auto files = stage(archive, app, staging, undo, out, error);
    if (!files)
        return false;

    // The local part: the rest of the archive (the blank template) into this folder's DB, and every local copy of
    // a server document out of it. The restored documents get versions above any the program fetched, and a copy
    // left behind would be taken for the document of a record that now has its ID.
    QStringList local;
    for (const QString &name : *files) {
        if (name != DatabaseFiles::Database && !DatabaseFiles::isDocument(name))
            local << name;
    }
    StagedReplacement replacement(staging.path(), app + QStringLiteral("DB"), undo.path());
    const QStringList copies = localDocuments(app + QStringLiteral("DB/"));
    bool localDone = false;
    const bool committed = dm.inTransaction(
        [&] {
            // A copy that is not the server's document (edited outside the program and never saved back) is in no
            // backup: it is kept in Bak/ before it goes.
            QStringList differing;
            for (const QString &copy : copies) {
                const QString path = QStringLiteral("DB/") + copy;
                std::optional<QByteArray> stored;
                if (!StoreMaintenance::readDocument(dm.connection(), path, &stored, error))
                    return false;
                bool read = false;
                const QByteArray bytes = fileBytes(app + path, &read);
                if (!read || !stored || *stored != bytes)
                    differing << path;
            }
            if (!loadIntoServer(dm, staging.path(), *files, error) ||
                !ChangeHistory::record(dm.connection(), restoreEntry(archive), error))
                return false;
            for (const QString &path : differing) {
                if (DocumentStore::keptAside(path))
                    continue;
                const QString kept = DocumentStore::keepAside(path, QStringLiteral("还原前"));
                if (kept.isEmpty())
                    return fail(error, QStringLiteral("cannot keep the local copy ") + path);
                out.keptCopies << kept;
            }
            // Last before the commit: a local failure still leaves the server as it was.
            const Status replaced = replacement.apply(local, localDocuments(app + QStringLiteral("DB/")));
            if (!(localDone = replaced.ok))
                keepLeftovers(undo, out);
            return localDone || fail(error, replaced.error);
        },
        error);
    if (committed) {
        out.server = Outcome::Server::Replaced;
        out.localUnchanged = false;
        removeEmptyFolders(app + QStringLiteral("DB/"));
        return true;
    }
    if (!localDone)
        return false;
    // The commit failed. A broken connection leaves open whether the server committed before it broke: the local
    // part stays, since it fits the restored data and the old local copies were only copies.
    if (dm.connectionLost()) {
        out.server = Outcome::Server::Unknown;
        out.localUnchanged = false;
        return false;
    }
    // The server refused the commit and rolled back: the local part is taken back too.
    if (!replacement.undo())
        keepLeftovers(undo, out);
    return false;
}

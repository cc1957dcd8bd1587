#include "app/admin/DatabaseRestore.h"

#include "app/admin/DatabaseFiles.h"
#include "app/admin/StagedReplacement.h"
#include "app/admin/ZipArchiveReader.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

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

    ZipArchiveReader reader;
    if (!reader.open(archive, error))
        return false;
    if (!reader.contains(DatabaseFiles::Database))
        return fail(error, QStringLiteral("the archive holds no database file"));

    // Beside DB, so that moving the staged files in is a rename on the same disk.
    QTemporaryDir staging(app + QStringLiteral("DB.restore-XXXXXX"));
    QTemporaryDir undo(app + QStringLiteral("DB.undo-XXXXXX"));
    if (!staging.isValid() || !undo.isValid())
        return fail(error, QStringLiteral("cannot create a staging folder in ") + app);

    const auto files = reader.extractTo(
        staging.path(), [](const ZipArchiveReader::Entry &e) { return DatabaseFiles::isTransient(e.name); }, error);
    reader.close();
    if (!files)
        return false;
    if (!isUsableDatabase(staging.filePath(DatabaseFiles::Database), error))
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

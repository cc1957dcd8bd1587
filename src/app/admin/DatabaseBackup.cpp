#include "app/admin/DatabaseBackup.h"

#include "app/admin/DatabaseFiles.h"
#include "app/admin/ZipArchiveWriter.h"
#include "store/TDM.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

QString DatabaseBackup::proposedArchivePath(const QString &appFolder, const QDate &today) {
    QString folder = appFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("Bak/") + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".HTBK");
}

bool DatabaseBackup::write(TDM &dm, const QString &archive, QString *error) {
    return writeFolder(dm.appFolder(), archive, dm.isConnected() ? &dm : nullptr, error);
}

bool DatabaseBackup::writeFolder(const QString &appFolder, const QString &archive, TDM *connected, QString *error) {
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
        sources << ZipArchiveWriter::Source{relative, file};
    }

    // The live file may be in the middle of a write; the archive gets a copy taken through SQLite's backup. The
    // copy is as large as the database: it is staged beside the archive, where the archive needs the room anyway,
    // not in the system's temporary folder, which may be small.
    std::optional<QTemporaryDir> snapshotDir;
    if (connected) {
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
    return ZipArchiveWriter::write(archive, sources, error);
}

#include "DatabaseBackup.h"

#include "DatabaseFiles.h"
#include "TDM.h"
#include "ZipArchiveWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

QString DatabaseBackup::proposedArchivePath(const QString &appFolder, const QDate &today)
{
    QString folder = appFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("Bak/") + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".HTBK");
}

bool DatabaseBackup::write(TDM &dm, const QString &archive, QString *error)
{
    const QString dbFolder = dm.path(QStringLiteral("DB/"));
    if (!QFileInfo(dbFolder).isDir()) {
        if (error)
            *error = QStringLiteral("no folder ") + dbFolder;
        return false;
    }
    const QString archivePath = QFileInfo(archive).absoluteFilePath();
    const QString archiveCanonical = QFileInfo(archive).canonicalFilePath();

    // The live file may be in the middle of a write; the archive gets a copy taken through SQLite's backup.
    QTemporaryDir snapshotDir;
    QString databaseSource = dm.path(TDM::DatabaseFile);
    if (dm.isConnected()) {
        if (!snapshotDir.isValid()) {
            if (error)
                *error = QStringLiteral("no temporary folder for the database copy");
            return false;
        }
        databaseSource = snapshotDir.filePath(DatabaseFiles::Database);
        if (!dm.backupDatabaseTo(databaseSource, error))
            return false;
    }

    QList<ZipArchiveWriter::Source> sources;
    sources << ZipArchiveWriter::Source{DatabaseFiles::Database, databaseSource};
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
        if (info.absoluteFilePath() == archivePath
            || (!archiveCanonical.isEmpty() && info.canonicalFilePath() == archiveCanonical))
            continue;
        sources << ZipArchiveWriter::Source{relative, file};
    }
    return ZipArchiveWriter::write(archive, sources, error);
}

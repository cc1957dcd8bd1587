#pragma once

#include "archive/ZipArchiveReader.h"

#include <QString>
#include <QStringList>

// Names of the database file inside the folder DB and of the files SQLite keeps beside it while it is open, and
// which files of DB make up the data that a backup holds and a restore brings back.
namespace DatabaseFiles {
inline const QString Database = QStringLiteral("ZYDB.dat");
inline const QString EmptyDoc = QStringLiteral("Empty.Doc");
inline const QString ModelFolder = QStringLiteral("ModelFiles");
inline const QString ContractFolder = QStringLiteral("ContractFile");

// The rollback journal and WAL files belong to the database they were written for; carried over to another
// database they would be replayed into it.
inline bool isTransient(const QString &relative) {
    return relative.compare(Database + QStringLiteral("-journal"), Qt::CaseInsensitive) == 0 ||
           relative.compare(Database + QStringLiteral("-wal"), Qt::CaseInsensitive) == 0 ||
           relative.compare(Database + QStringLiteral("-shm"), Qt::CaseInsensitive) == 0;
}

inline QStringList transientFiles() {
    return {Database + QStringLiteral("-journal"), Database + QStringLiteral("-wal"),
            Database + QStringLiteral("-shm")};
}

// A template or contract document: a file below ModelFiles/ or ContractFile/ (relative to DB).
inline bool isDocument(const QString &relative) {
    return relative.startsWith(ModelFolder + QLatin1Char('/')) ||
           relative.startsWith(ContractFolder + QLatin1Char('/'));
}

// Why a path relative to DB may not be stored in or taken from a backup archive; empty text when it may. The data
// is the database, the blank template and the template and contract documents (in sub-folders of their folders
// too), nothing else: not the connection file of a server, not a file someone left in DB. A name that would not
// extract safely is refused as well, so a backup never writes an archive its restore refuses.
inline QString archiveNameProblem(const QString &relative, bool isFolder = false) {
    QString unsafe = ZipArchiveReader::entryNameProblem(relative);
    if (!unsafe.isEmpty())
        return unsafe;
    if (isFolder) {
        if (relative == ModelFolder || relative == ContractFolder || isDocument(relative))
            return {};
    } else if (relative == Database || relative == EmptyDoc || isDocument(relative)) {
        return {};
    }
    return QStringLiteral("not part of the data: ") + relative;
}
} // namespace DatabaseFiles

#pragma once

#include <QString>
#include <QStringList>

// Names of the database file inside the folder DB and of the files SQLite keeps beside it while it is open.
namespace DatabaseFiles {
inline const QString Database = QStringLiteral("ZYDB.dat");

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
} // namespace DatabaseFiles

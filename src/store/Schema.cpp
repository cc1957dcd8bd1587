#include "store/Schema.h"

#include "store/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

QStringList statements() {
    QStringList valueColumns;
    for (int i = 1; i <= Schema::ValueColumnCount; ++i)
        valueColumns << QStringLiteral("Data%1 TEXT DEFAULT ''").arg(i);

    // Foreign keys are deferred: a category in use cannot be deleted, yet the rebuild may empty the tables
    // in any order inside one transaction.
    return {
        QStringLiteral("CREATE TABLE TContractClass ("
                       "TypeCode TEXT PRIMARY KEY NOT NULL, "
                       "TypeName TEXT DEFAULT '', "
                       "ParTypeCode TEXT DEFAULT '', "
                       "nLeveal INTEGER DEFAULT 0)"),
        QStringLiteral("CREATE TABLE TDataPara ("
                       "ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "MainTypeCode TEXT NOT NULL REFERENCES TContractClass(TypeCode) DEFERRABLE INITIALLY DEFERRED, "
                       "PropertyName TEXT DEFAULT '', "
                       "PropertyType INTEGER DEFAULT 0, "
                       "FormatStr TEXT DEFAULT '', "
                       "Unit TEXT DEFAULT '', "
                       "DefaultSelect TEXT DEFAULT '', "
                       "HisSelect INTEGER DEFAULT 0, "
                       "CalcStr TEXT DEFAULT '', "
                       "SortIdx INTEGER DEFAULT 0, "
                       "NoNull INTEGER DEFAULT 0, "
                       "ColWidth INTEGER DEFAULT %1, "
                       "IsSortField INTEGER DEFAULT 0, "
                       "DataFieldA TEXT DEFAULT '')")
            .arg(Schema::DefaultColWidth),
        QStringLiteral("CREATE INDEX TDataParaByCategory ON TDataPara(MainTypeCode, SortIdx)"),
        QStringLiteral("CREATE TABLE TDataParaDetail (ID INTEGER PRIMARY KEY AUTOINCREMENT)"),
        QStringLiteral(
            "CREATE TABLE TContractMain ("
            "ID INTEGER PRIMARY KEY AUTOINCREMENT, "
            "MainTypeCode TEXT NOT NULL REFERENCES TContractClass(TypeCode) DEFERRABLE INITIALLY DEFERRED, ") +
            valueColumns.join(QStringLiteral(", ")) + QLatin1Char(')'),
        QStringLiteral("CREATE INDEX TContractMainByCategory ON TContractMain(MainTypeCode, ID)"),
        QStringLiteral("CREATE TABLE TContractDetail (ID INTEGER PRIMARY KEY AUTOINCREMENT)"),
        QStringLiteral("CREATE TABLE TPara (LogPass TEXT DEFAULT '')"),
        QStringLiteral("INSERT INTO TPara (LogPass) VALUES ('579')"),
        QStringLiteral("PRAGMA user_version = %1").arg(Schema::Version),
    };
}

} // namespace

bool Schema::create(QSqlDatabase db, QString *error) {
    return inTransaction(
        db,
        [&] {
            QSqlQuery q(db);
            for (const QString &sql : statements()) {
                if (!q.exec(sql)) {
                    if (error)
                        *error = q.lastError().text() + QStringLiteral(": ") + sql;
                    return false;
                }
            }
            return true;
        },
        error);
}

bool Schema::layOutAppFolder(const QString &appFolder, QString *error) {
    QDir root(appFolder);
    for (const char *sub : {"DB/ModelFiles", "DB/ContractFile", "Bak", "BasicExcel", "Help"}) {
        if (!root.mkpath(QString::fromLatin1(sub))) {
            if (error)
                *error = QStringLiteral("cannot create folder ") + root.filePath(QString::fromLatin1(sub));
            return false;
        }
    }
    const QString file = root.filePath(QStringLiteral("DB/ZYDB.dat"));
    if (QFileInfo::exists(file))
        return true;

    // Built under a temporary name and renamed, so an interrupted setup never leaves a half-made database.
    const QString partial = file + QStringLiteral(".new");
    QFile::remove(partial);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("vantrel-setup"));
        db.setDatabaseName(partial);
        if (db.open()) {
            ok = create(db, error);
            db.close();
        } else if (error) {
            *error = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("vantrel-setup"));
    if (!ok || !QFile::rename(partial, file)) {
        QFile::remove(partial);
        if (ok && error)
            *error = QStringLiteral("cannot rename ") + partial;
        return false;
    }
    return true;
}

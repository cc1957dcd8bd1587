#include "store/StoreMaintenance.h"

#include "store/Database.h"
#include "store/StoreCopy.h"

#include <QSqlError>
#include <QSqlQuery>

namespace StoreMaintenance {

namespace {
bool exec(QSqlDatabase db, const QString &sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}
} // namespace

QStringList rebuildStatements() {
    return {
        QStringLiteral("B_Delete from TDataParaDetail"), QStringLiteral("B_Delete from TDataPara"),
        QStringLiteral("B_Delete from TContractClass"),  QStringLiteral("Delete from TContractDetail"),
        QStringLiteral("Delete from TContractMain"),
    };
}

bool runRebuildStatements(QSqlDatabase db, const QStringList &statements) {
    QStringList chosen = statements;
    // The history of changes describes the contracts being emptied: it goes with them.
    if (chosen.contains(QStringLiteral("Delete from TContractMain")))
        chosen << QStringLiteral("Delete from TChangeLog");
    if (!db.isOpen())
        return false;

    // Categories go before the records that refer to them; inside one transaction the deferred foreign keys are
    // only checked at the commit, when the records are gone too.
    if (db.transaction()) {
        bool all = true;
        for (const QString &sql : chosen) {
            exec(db, QStringLiteral("SAVEPOINT rebuild_step"));
            if (!exec(db, sql)) {
                all = false;
                exec(db, QStringLiteral("ROLLBACK TO rebuild_step"));
            }
            exec(db, QStringLiteral("RELEASE rebuild_step"));
        }
        if (db.commit())
            return all;
        db.rollback();
    }
    // A skipped statement left rows that others still refer to, so the whole did not commit. Statement by
    // statement each delete is checked on its own: what can go, goes, and nothing is left dangling.
    bool all = true;
    for (const QString &sql : chosen)
        all = exec(db, sql) && all;
    return all;
}

bool isEmpty(QSqlDatabase db, const QString &table) {
    if (!db.isOpen())
        return false;
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT count(*) FROM ") + table) && q.next() && q.value(0).toLongLong() == 0;
}

bool hasHistory(Database &database) {
    const QString rows = database.GetDataBySQL(QStringLiteral("SELECT count(*) FROM TChangeLog"));
    return !rows.isEmpty() && rows != QLatin1String("0");
}

std::optional<QStringList> documentPaths(Database &database, QString *error) {
    QStringList paths;
    database.GetDataBySQLToItems(QStringLiteral("SELECT Path FROM TFile ORDER BY Path"), {}, paths, true);
    // No path: none stored, or the table could not be read.
    QSqlQuery q(database.connection());
    if (paths.isEmpty() && !q.exec(QStringLiteral("SELECT count(*) FROM TFile"))) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    return paths;
}

bool readDocument(QSqlDatabase db, const QString &path, std::optional<QByteArray> *content, QString *error) {
    QSqlQuery q(db);
    if (!execBound(q, QStringLiteral("SELECT Content FROM TFile WHERE Path=?"), {path}, error))
        return false;
    *content = q.next() ? std::optional<QByteArray>(q.value(0).toByteArray()) : std::nullopt;
    return true;
}

bool clearParameters(QSqlDatabase db, QString *error) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("DELETE FROM TPara")) && !q.lastError().isValid())
        return true;
    return fail(error, q.lastError().text());
}

bool readSnapshot(QSqlDatabase db, QString *error) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")) ||
           fail(error, q.lastError().text());
}

bool quickCheck(QSqlDatabase db, QString *error) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA quick_check")) && q.next() && q.value(0).toString() == QLatin1String("ok"))
        return true;
    return fail(error, q.lastError().text());
}

bool hasDataTables(QSqlDatabase db) {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                                 "('TContractClass','TDataPara','TContractMain','TPara')")) &&
           q.next() && q.value(0).toInt() == 4;
}

std::optional<qint64> nextDocumentVersion(QSqlDatabase db, QString *error) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(Version), 0) + 1 FROM TFile")) || !q.next()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

bool deleteAllData(QSqlDatabase db, QString *error) {
    QStringList deletes{QStringLiteral("DELETE FROM TFile")};
    for (const QString &table : StoreCopy::tables())
        deletes << QStringLiteral("DELETE FROM ") + table;
    QSqlQuery q(db);
    for (const QString &sql : deletes) {
        if (!q.exec(sql))
            return fail(error, q.lastError().text());
    }
    return true;
}

bool insertDocument(QSqlDatabase db, const QString &path, const QByteArray &content, qint64 version, QString *error) {
    QSqlQuery q(db);
    return execBound(q, QStringLiteral("INSERT INTO TFile (Path, Content, Version) VALUES (?, ?, ?)"),
                     {path, content, version}, error);
}

} // namespace StoreMaintenance

#include "store/Database.h"

#include "store/DriverHandles.h"

#include <QFile>
#include <QSqlQuery>

#include <algorithm>
#include <memory>
#include <vector>

// The database's paths past QtSql: the bulk reads of many rows (on the module's connection or on one of their own),
// the many-row writes to the embedded file and its whole-file copies.

bool Database::bulkRead(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                        QString *error) {
    if (mBackend == Backend::Embedded)
        return bulkReadEmbedded(sql, binds, fields, onRow, error);
    return bulkReadServer(sql, binds, fields, onRow, error);
}

namespace {

// The server numbers its placeholders ($1, $2 ...); '?' inside a quoted literal or name is left alone.
QByteArray numberedPlaceholders(const QString &sql) {
    QByteArray out;
    const QByteArray in = sql.toUtf8();
    out.reserve(in.size() + 16);
    char quote = 0;
    int n = 0;
    for (const char c : in) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$' + QByteArray::number(++n);
            continue;
        }
        out += c;
    }
    return out;
}

// Reads the rows of a statement on a server connection (values bound as text) and hands them to onRow. Stops
// handing rows over once *stop is set; the caller then closes the connection.
bool readServer(PGconn *conn, const QString &sql, const QVariantList &binds, int fields, const Database::RowSink &onRow,
                const std::atomic<bool> *stop, QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    // Values go as text; the server reads each as the type its place in the statement asks for.
    std::vector<QByteArray> values;
    std::vector<const char *> params;
    values.reserve(size_t(binds.size()));
    for (const QVariant &v : binds) {
        values.push_back(v.isNull() ? QByteArray() : v.toString().toUtf8());
        params.push_back(v.isNull() ? nullptr : values.back().constData());
    }
    const QByteArray text = numberedPlaceholders(sql);
    if (!PQsendQueryParams(conn, text.constData(), int(params.size()), nullptr, params.data(), nullptr, nullptr, 0))
        return fail(QString::fromUtf8(PQerrorMessage(conn)).trimmed());
    // Row by row as the server sends them, so the whole result is never held twice.
    PQsetSingleRowMode(conn);
    QString reason;
    std::vector<const char *> texts(size_t(std::max(fields, 0)));
    std::vector<int> sizes(texts.size());
    while (PGresult *result = PQgetResult(conn)) {
        const std::unique_ptr<PGresult, void (*)(PGresult *)> guard(result, PQclear);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_SINGLE_TUPLE) {
            if (!reason.isEmpty())
                continue;
            if (stop && stop->load(std::memory_order_relaxed)) {
                reason = QStringLiteral("stopped");
                break;
            }
            if (PQnfields(result) < fields) {
                reason = QStringLiteral("select list does not match the columns");
                continue;
            }
            for (int f = 0; f < fields; ++f) {
                texts[size_t(f)] = PQgetvalue(result, 0, f);
                sizes[size_t(f)] = PQgetlength(result, 0, f);
            }
            onRow(texts.data(), sizes.data());
        } else if (status == PGRES_TUPLES_OK) {
            if (reason.isEmpty() && PQnfields(result) < fields)
                reason = QStringLiteral("select list does not match the columns");
        } else if (reason.isEmpty()) {
            reason = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
            if (reason.isEmpty())
                reason = QString::fromUtf8(PQresStatus(status));
        }
    }
    return reason.isEmpty() || fail(reason);
}

bool bindSqlite(sqlite3_stmt *stmt, int at, const QVariant &value) {
    if (value.isNull())
        return sqlite3_bind_null(stmt, at) == SQLITE_OK;
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        return sqlite3_bind_int64(stmt, at, value.toLongLong()) == SQLITE_OK;
    const QByteArray utf8 = value.toString().toUtf8();
    return sqlite3_bind_text(stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

using SqliteStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

// One statement prepared on an SQLite connection and finalized with its owner; null with SQLite's reason on failure.
SqliteStatement prepareSqlite(sqlite3 *db, const QString &sql, QString *reason) {
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        *reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return {nullptr, sqlite3_finalize};
    }
    return {stmt, sqlite3_finalize};
}

// The same on an SQLite connection: straight through SQLite, as QSqlQuery would build a QVariant for every cell.
bool readSqlite(sqlite3 *db, const QString &sql, const QVariantList &binds, int fields, const Database::RowSink &onRow,
                const std::atomic<bool> *stop, QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    QString reason;
    const SqliteStatement guard = prepareSqlite(db, sql, &reason);
    if (!guard)
        return fail(reason);
    sqlite3_stmt *stmt = guard.get();
    if (fields < 0 || sqlite3_column_count(stmt) < fields)
        return fail(QStringLiteral("select list does not match the columns"));
    for (int i = 0; i < binds.size(); ++i) {
        if (!bindSqlite(stmt, i + 1, binds.at(i)))
            return fail(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    std::vector<const char *> texts(static_cast<size_t>(fields));
    std::vector<int> sizes(static_cast<size_t>(fields));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (stop && stop->load(std::memory_order_relaxed))
            return fail(QStringLiteral("stopped"));
        for (int f = 0; f < fields; ++f) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, f));
            texts[size_t(f)] = t ? t : "";
            sizes[size_t(f)] = t ? sqlite3_column_bytes(stmt, f) : 0;
        }
        onRow(texts.data(), sizes.data());
    }
    if (rc != SQLITE_DONE)
        return fail(QString::fromUtf8(sqlite3_errmsg(db)));
    return true;
}

} // namespace

bool Database::bulkReadServer(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                              QString *error) {
    PGconn *conn = serverHandle(connection());
    if (!conn) {
        if (error)
            *error = QStringLiteral("database not open");
        return false;
    }
    if (PQtransactionStatus(conn) == PQTRANS_ACTIVE) {
        // A forward-only query of the driver is still being read row by row (or its end not yet collected); a
        // statement of the driver's own makes it finish that one first, keeping its bookkeeping right.
        QSqlQuery settle(connection());
        settle.exec(QStringLiteral("SELECT 1"));
    }
    return readServer(conn, sql, binds, fields, onRow, nullptr, error);
}

bool Database::bulkReadEmbedded(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                                QString *error) {
    sqlite3 *db = sqliteHandle(connection());
    if (!db) {
        if (error)
            *error = QStringLiteral("database not open");
        return false;
    }
    return readSqlite(db, sql, binds, fields, onRow, nullptr, error);
}

Database::ReadSource Database::readSource() const {
    ReadSource source;
    source.backend = mBackend;
    if (mBackend == Backend::Embedded) {
        source.file = QFile::encodeName(path(DatabaseFile));
        return source;
    }
    PGconn *conn = serverHandle(connection());
    if (!conn)
        return source;
    PQconninfoOption *options = PQconninfo(conn);
    for (PQconninfoOption *o = options; o && o->keyword; ++o) {
        if (o->val && *o->val)
            source.serverOptions.emplace_back(o->keyword, o->val);
    }
    PQconninfoFree(options);
    return source;
}

bool Database::bulkReadFrom(const ReadSource &source, const QString &sql, const QVariantList &binds, int fields,
                            const RowSink &onRow, const std::atomic<bool> *stop, QString *error) {
    if (source.backend == Backend::Embedded) {
        sqlite3 *db = nullptr;
        const int rc =
            sqlite3_open_v2(source.file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> guard(db, sqlite3_close_v2);
        if (rc != SQLITE_OK) {
            if (error)
                *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("database not open");
            return false;
        }
        // A save of the program's own connection may hold the file for a moment.
        sqlite3_busy_timeout(db, 5000);
        return readSqlite(db, sql, binds, fields, onRow, stop, error);
    }
    if (source.serverOptions.empty()) {
        if (error)
            *error = QStringLiteral("database not open");
        return false;
    }
    std::vector<const char *> keys, values;
    for (const auto &[key, value] : source.serverOptions) {
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn *conn = PQconnectdbParams(keys.data(), values.data(), 0);
    const std::unique_ptr<PGconn, void (*)(PGconn *)> guard(conn, PQfinish);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        if (error)
            *error = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : QStringLiteral("database not open");
        return false;
    }
    // The session as the module's own: texts as UTF-8 whatever the server's default.
    for (const char *set : {"SET client_encoding TO 'UTF8'", "SET standard_conforming_strings TO on"}) {
        const std::unique_ptr<PGresult, void (*)(PGresult *)> result(PQexec(conn, set), PQclear);
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            if (error)
                *error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
            return false;
        }
    }
    return readServer(conn, sql, binds, fields, onRow, stop, error);
}

bool Database::backupDatabaseTo(const QString &targetFile, QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    QSqlDatabase db = connection();
    if (!db.isOpen())
        return fail(QStringLiteral("database not open"));
    sqlite3 *source = sqliteHandle(db);
    if (!source)
        return fail(QStringLiteral("no SQLite handle"));
    sqlite3 *target = nullptr;
    QFile::remove(targetFile);
    if (sqlite3_open_v2(targetFile.toUtf8().constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(target));
        sqlite3_close(target);
        return fail(text);
    }
    // A copy that is only read again once: no journal of its own, no waiting for the disk on every commit.
    sqlite3_exec(target, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    int rc = SQLITE_ERROR;
    if (backup) {
        rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
    }
    const QString text = QString::fromUtf8(sqlite3_errmsg(target));
    sqlite3_close(target);
    if (rc != SQLITE_DONE) {
        QFile::remove(targetFile);
        return fail(text);
    }
    return true;
}

std::optional<QByteArray> Database::databaseImage(QString *error) {
    auto fail = [&](const QString &text) -> std::optional<QByteArray> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    sqlite3 *source = sqliteHandle(connection());
    if (!source)
        return fail(QStringLiteral("database not open"));
    sqlite3 *target = nullptr;
    if (sqlite3_open_v2(":memory:", &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const QString text = target ? QString::fromUtf8(sqlite3_errmsg(target)) : QStringLiteral("out of memory");
        sqlite3_close(target);
        return fail(text);
    }
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> guard(target, sqlite3_close);
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        return fail(QString::fromUtf8(sqlite3_errmsg(target)));
    // All pages in one step: one read lock on the file for the whole copy, so the copy is one moment's state.
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        return fail(QString::fromUtf8(sqlite3_errmsg(target)));
    sqlite3_int64 size = 0;
    unsigned char *bytes = sqlite3_serialize(target, "main", &size, 0);
    if (!bytes)
        return fail(QStringLiteral("out of memory"));
    QByteArray image(reinterpret_cast<const char *>(bytes), qsizetype(size));
    sqlite3_free(bytes);
    return image;
}

bool Database::execManyEmbedded(const QString &sql, const RowValues &next, QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    sqlite3 *db = mBackend == Backend::Embedded ? sqliteHandle(connection()) : nullptr;
    if (!db)
        return fail(QStringLiteral("database not open"));
    QString reason;
    const SqliteStatement guard = prepareSqlite(db, sql, &reason);
    if (!guard)
        return fail(reason);
    sqlite3_stmt *stmt = guard.get();
    const int parameters = sqlite3_bind_parameter_count(stmt);
    QStringList values;
    // The UTF-8 texts stay here until the row is stepped, so SQLite need not copy them.
    std::vector<QByteArray> utf8(size_t(std::max(parameters, 0)));
    for (;;) {
        values.clear();
        if (!next(values))
            return true;
        for (int i = 0; i < parameters; ++i) {
            const QString value = i < values.size() ? values.at(i) : QString();
            int rc;
            if (value.isNull()) {
                rc = sqlite3_bind_null(stmt, i + 1);
            } else {
                utf8[size_t(i)] = value.toUtf8();
                rc = sqlite3_bind_text(stmt, i + 1, utf8[size_t(i)].constData(), int(utf8[size_t(i)].size()),
                                       SQLITE_STATIC);
            }
            if (rc != SQLITE_OK)
                return fail(QString::fromUtf8(sqlite3_errmsg(db)));
        }
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            const QString stepFailure = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_reset(stmt);
            return fail(stepFailure);
        }
        sqlite3_reset(stmt);
    }
}

#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

// The client libraries' own handles behind a QtSql connection, for the paths that go past QtSql (the bulk reads and
// writes, the whole-file copies, telling a broken server connection). Null when the connection is closed or is not
// of that kind. Private to the store.

inline PGconn *serverHandle(const QSqlDatabase &db) {
    if (!db.isOpen())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt names the type by the structure behind the client library's typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.data());
}

inline sqlite3 *sqliteHandle(const QSqlDatabase &db) {
    if (!db.isOpen())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}

#include "store/TDM.h"

#include "store/Arithmetic.h"
#include "store/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
std::unique_ptr<TDM> gModule;
}

TDM &TDM::create(const QString &appFolder, const QString &serverPassword) {
    gModule.reset();
    gModule.reset(new TDM(appFolder, serverPassword));
    return *gModule;
}

TDM &TDM::instance() {
    Q_ASSERT(gModule);
    return *gModule;
}

bool TDM::exists() {
    return gModule != nullptr;
}

void TDM::destroy() {
    gModule.reset();
}

bool TDM::usesServer(const QString &appFolder) {
    return ServerSettings::read(appFolder).has_value();
}

TDM::TDM(const QString &appFolder, const QString &serverPassword) {
    QString folder = QDir::fromNativeSeparators(appFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    mAppFolder = folder;
    static int serial = 0;
    mConnectionName = QStringLiteral("ADOLocal%1").arg(++serial);
    DataModuleCreate(serverPassword);
}

TDM::~TDM() {
    close();
    QSqlDatabase::removeDatabase(mConnectionName);
}

void TDM::DataModuleCreate(const QString &serverPassword) {
    if (std::optional<ServerSettings> server = ServerSettings::read(mAppFolder)) {
        server->password = serverPassword;
        openServer(*server);
    } else {
        openEmbedded();
    }
}

QSqlDatabase TDM::openServer(const ServerSettings &settings, const QString &connectionName, QString *error) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!db.isValid()) {
        if (error)
            *error = QStringLiteral("PostgreSQL driver (QPSQL) not available");
        return db;
    }
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    // A server that does not answer must not hold the start for minutes.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=vantrel"));
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return db;
    }
    QSqlQuery q(db);
    // Texts are exchanged as UTF-8 whatever the server's default; dates and numbers never depend on its locale.
    if (!q.exec(QStringLiteral("SET client_encoding TO 'UTF8'")) ||
        !q.exec(QStringLiteral("SET standard_conforming_strings TO on"))) {
        if (error)
            *error = q.lastError().text();
        db.close();
    }
    return db;
}

void TDM::openServer(const ServerSettings &settings) {
    mBackend = Backend::Server;
    QString error;
    QSqlDatabase db = openServer(settings, mConnectionName, &error);
    if (!db.isOpen())
        mConnectionError = error;
}

void TDM::openEmbedded() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), mConnectionName);
    const QString file = path(DatabaseFile);
    // SQLite would create a missing file; the program only ever opens the database the setup laid out.
    if (!QFileInfo(file).isFile()) {
        mConnectionError = QStringLiteral("missing database file: ") + file;
        return;
    }
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        mConnectionError = db.lastError().text();
        return;
    }
    QSqlQuery q(db);
    // A file that is not a database fails here rather than on the first window's query.
    if (!q.exec(QStringLiteral("PRAGMA foreign_keys=ON")) || !q.exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        mConnectionError = q.lastError().text();
        db.close();
    }
}

bool TDM::isConnected() const {
    return QSqlDatabase::database(mConnectionName, false).isOpen();
}

QSqlDatabase TDM::ADOLocal() const {
    return QSqlDatabase::database(mConnectionName, false);
}

void TDM::close() {
    QSqlDatabase db = QSqlDatabase::database(mConnectionName, false);
    if (db.isOpen())
        db.close();
}

QString TDM::caseInsensitiveLike() const {
    // SQLite's LIKE already ignores the case of Latin letters; PostgreSQL's does not.
    return mBackend == Backend::Server ? QStringLiteral("ILIKE") : QStringLiteral("LIKE");
}

bool TDM::beginWriteTransaction(QString *error) {
    QSqlDatabase db = ADOLocal();
    if (mBackend == Backend::Server) {
        if (db.transaction())
            return true;
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QSqlQuery begin(db);
    // IMMEDIATE waits (up to the busy timeout) for the write lock now rather than failing at the first write.
    if (begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return true;
    if (error)
        *error = begin.lastError().text();
    return false;
}

QString TDM::lockRows() const {
    return mBackend == Backend::Server ? QStringLiteral(" FOR UPDATE") : QString();
}

std::optional<qint64> TDM::insertReturningId(const QString &sql, const QVariantList &binds, QString *error) {
    QSqlQuery q(ADOLocal());
    if (mBackend == Backend::Server) {
        // The server keeps no row identifier a driver could report; it names the generated key itself.
        if (!execBound(q, sql + QStringLiteral(" RETURNING ID"), binds, error))
            return std::nullopt;
        if (!q.next()) {
            if (error)
                *error = QStringLiteral("no generated ID");
            return std::nullopt;
        }
        return q.value(0).toLongLong();
    }
    if (!execBound(q, sql, binds, error))
        return std::nullopt;
    const QVariant id = q.lastInsertId();
    if (!id.isValid()) {
        if (error)
            *error = QStringLiteral("no generated ID");
        return std::nullopt;
    }
    return id.toLongLong();
}

bool TDM::bulkRead(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow, QString *error) {
    if (mBackend == Backend::Embedded)
        return bulkReadEmbedded(sql, binds, fields, onRow, error);
    QSqlQuery q(ADOLocal());
    q.setForwardOnly(true);
    if (!execBound(q, sql, binds, error))
        return false;
    if (q.record().count() < fields) {
        if (error)
            *error = QStringLiteral("select list does not match the columns");
        return false;
    }
    std::vector<QByteArray> bytes(size_t(std::max(fields, 0)));
    std::vector<const char *> texts(bytes.size());
    std::vector<int> sizes(bytes.size());
    while (q.next()) {
        for (int f = 0; f < fields; ++f) {
            const QVariant v = q.value(f);
            bytes[size_t(f)] = v.isNull() ? QByteArray() : v.toString().toUtf8();
            texts[size_t(f)] = bytes[size_t(f)].constData();
            sizes[size_t(f)] = int(bytes[size_t(f)].size());
        }
        onRow(texts.data(), sizes.data());
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    return true;
}

namespace {

sqlite3 *sqliteHandle(const QSqlDatabase &db) {
    if (!db.isOpen())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}

bool bindSqlite(sqlite3_stmt *stmt, int at, const QVariant &value) {
    if (value.isNull())
        return sqlite3_bind_null(stmt, at) == SQLITE_OK;
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        return sqlite3_bind_int64(stmt, at, value.toLongLong()) == SQLITE_OK;
    const QByteArray utf8 = value.toString().toUtf8();
    return sqlite3_bind_text(stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}
} // namespace

bool TDM::bulkReadEmbedded(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                           QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    sqlite3 *db = sqliteHandle(ADOLocal());
    if (!db)
        return fail(QStringLiteral("database not open"));
    // Straight through SQLite: QSqlQuery would build a QVariant for every cell.
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return fail(reason);
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(stmt, sqlite3_finalize);
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

bool execBound(QSqlQuery &query, const QString &sql, const QVariantList &binds, QString *error) {
    if (!query.prepare(sql)) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    for (const QVariant &value : binds)
        query.addBindValue(value);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    return true;
}

QString TDM::GetDataBySQL(const QString &sql, const QVariantList &binds) {
    QSqlQuery dsQuery(ADOLocal());
    if (!execBound(dsQuery, sql, binds) || !dsQuery.next())
        return {};
    const QVariant value = dsQuery.value(0);
    return value.isNull() ? QString() : value.toString();
}

void TDM::GetDataBySQLToItems(const QString &sql, const QVariantList &binds, QStringList &items, bool clearFirst) {
    QSqlQuery dsQuery(ADOLocal());
    dsQuery.setForwardOnly(true);
    if (!execBound(dsQuery, sql, binds))
        return;
    if (clearFirst)
        items.clear();
    while (dsQuery.next()) {
        const QString text = dsQuery.value(0).toString();
        if (!text.isEmpty())
            items.append(text);
    }
}

double TDM::evaluateArithmetic(const QString &expression) {
    return Arithmetic::evaluate(expression).value_or(0.0);
}

std::optional<QString> TDM::readLogPass() {
    QSqlQuery dsPara(ADOLocal());
    if (!execBound(dsPara, QStringLiteral("SELECT LogPass FROM TPara LIMIT 1"), {}))
        return std::nullopt;
    if (!dsPara.next())
        return QString();
    return dsPara.value(0).toString();
}

bool TDM::backupDatabaseTo(const QString &targetFile, QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    QSqlDatabase db = ADOLocal();
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

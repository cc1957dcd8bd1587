#include "store/Database.h"

#include "store/Arithmetic.h"
#include "store/ParameterStore.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QFile>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
std::unique_ptr<Database> gModule;
// The database instance() answers with: the one opened last, until it is destroyed.
Database *gCurrent = nullptr;

// Texts are exchanged as UTF-8 whatever the server's default; dates and numbers never depend on its locale.
// vantrel.program tells the server's history trigger that this program writes its own history rows, so that only
// changes made by other programs are recorded by the trigger.
bool setUpServerSession(const QSqlDatabase &db, QString *error) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SET client_encoding TO 'UTF8'")) &&
        q.exec(QStringLiteral("SET standard_conforming_strings TO on")) &&
        q.exec(QStringLiteral("SET vantrel.program TO '1'")))
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

// A value of the client library's connection string: quoted, with its quotes and backslashes escaped.
QString connectionValue(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// The client library's reasons for refusing an encrypted connection are terse and English; the user is told in
// plain words what happened, followed by the library's own text.
QString explainedError(const QString &error, const ServerSettings &settings) {
    QString told;
    if (error.contains(QLatin1String("server does not support SSL"))) {
        told = QStringLiteral("数据库服务器不支持加密连接，而连接设置要求加密，所以没有连接。"
                              "请在服务器上启用加密（SSL），或者确认连接的是您的数据库服务器。");
    } else if (error.contains(QLatin1String("does not match host name"))) {
        told = QStringLiteral("服务器证书上的名称与服务器地址“%1”不符，连接被拒绝：连接到的可能不是您的数据库服务器。"
                              "请使用证书上的服务器名称作为服务器地址。")
                   .arg(settings.host);
    } else if (error.contains(QLatin1String("certificate verify failed"))) {
        told = QStringLiteral("服务器的证书不能用指定的根证书验证，连接被拒绝：连接到的可能不是您的数据库服务器。"
                              "请确认根证书文件是给这台服务器颁发证书的机构的根证书。");
    } else if (error.contains(QLatin1String("root certificate file"))) {
        told = QStringLiteral("不能读取根证书文件“%1”。").arg(settings.rootCertificate);
    } else if (error.contains(QLatin1String("no encryption")) &&
               settings.encryption == ServerSettings::Encryption::None) {
        told = QStringLiteral("数据库服务器只接受加密连接，请在连接设置中选择加密。");
    }
    return told.isEmpty() ? error : told + QLatin1Char('\n') + error;
}

PGconn *serverHandle(const QSqlDatabase &db) {
    if (!db.isOpen())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt names the type by the structure behind the client library's typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.data());
}

// QtSql keeps a server connection "open" after the server has gone. Reading what is waiting on the socket (without
// blocking) lets the client library notice a connection the server closed before the next statement fails on it.
bool serverConnectionBroken(const QSqlDatabase &db) {
    PGconn *connection = serverHandle(db);
    if (!connection)
        return true;
    // The server's farewell and the end of the stream usually arrive apart: a second read sees the end.
    for (int read = 0; read < 2 && PQstatus(connection) != CONNECTION_BAD; ++read)
        PQconsumeInput(connection);
    return PQstatus(connection) == CONNECTION_BAD;
}
} // namespace

std::unique_ptr<Database> Database::open(const QString &appFolder, const QString &serverPassword) {
    std::unique_ptr<Database> database(new Database(appFolder, serverPassword));
    gCurrent = database.get();
    return database;
}

Database &Database::create(const QString &appFolder, const QString &serverPassword) {
    gModule.reset();
    gModule = open(appFolder, serverPassword);
    return *gModule;
}

Database &Database::instance() {
    Q_ASSERT(gCurrent);
    return *gCurrent;
}

bool Database::exists() {
    return gCurrent != nullptr;
}

void Database::destroy() {
    gModule.reset();
}

bool Database::usesServer(const QString &appFolder) {
    return ServerSettings::read(appFolder).has_value();
}

Database::Database(const QString &appFolder, const QString &serverPassword) {
    QString folder = QDir::fromNativeSeparators(appFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    mAppFolder = folder;
    static int serial = 0;
    mConnectionName = QStringLiteral("connection%1").arg(++serial);
    DataModuleCreate(serverPassword);
}

Database::~Database() {
    // The process-wide one answers again once the one opened after it is gone.
    if (gCurrent == this)
        gCurrent = gModule && gModule.get() != this ? gModule.get() : nullptr;
    close();
    QSqlDatabase::removeDatabase(mConnectionName);
}

void Database::DataModuleCreate(const QString &serverPassword) {
    if (std::optional<ServerSettings> server = ServerSettings::read(mAppFolder)) {
        server->password = serverPassword;
        openServer(*server);
    } else {
        openEmbedded();
    }
}

QSqlDatabase Database::openServer(const ServerSettings &settings, const QString &connectionName, QString *error) {
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
    QString options = QStringLiteral("connect_timeout=5;application_name=vantrel;sslmode=") +
                      ServerSettings::sslMode(settings.encryption);
    if (settings.encryption == ServerSettings::Encryption::VerifyServer) {
        // The driver turns every ';' of the options into a blank: such a path cannot be handed over.
        if (settings.rootCertificate.isEmpty() || settings.rootCertificate.contains(QLatin1Char(';'))) {
            if (error)
                *error = settings.rootCertificate.isEmpty()
                             ? QStringLiteral("没有指定服务器的根证书文件，不能验证服务器的证书。")
                             : QStringLiteral("根证书文件的路径中不能有分号（;）。");
            return db;
        }
        options += QStringLiteral(";sslrootcert=") + connectionValue(settings.rootCertificate);
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        // The client library indents its hints with tabs, which a message box shows as wide gaps.
        if (error)
            *error = explainedError(db.lastError().text().remove(QLatin1Char('\t')), settings);
        return db;
    }
    if (!setUpServerSession(db, error))
        db.close();
    return db;
}

void Database::openServer(const ServerSettings &settings) {
    mBackend = Backend::Server;
    QString error;
    QSqlDatabase db = openServer(settings, mConnectionName, &error);
    if (!db.isOpen())
        mConnectionError = error;
    mMayReconnect = db.isOpen();
    // A server database without the program's tables is set up by the connection window, not here.
    if (db.isOpen() && Schema::hasTables(db))
        upgradeSchema(db);
}

void Database::reconnect(QSqlDatabase &db) const {
    if (mLastReconnect.isValid() && mLastReconnect.elapsed() < ReconnectPauseMs)
        return;
    mLastReconnect.start();
    // The same connection is opened again, so statements made on it before (by windows still open) use the new one.
    db.close();
    QString error;
    if (db.open() && setUpServerSession(db, &error)) {
        mReconnectError.clear();
        mLastReconnect.invalidate();
        return;
    }
    mReconnectError = error.isEmpty() ? db.lastError().text() : error;
    db.close();
}

bool Database::connectionLost() const {
    return mBackend == Backend::Server && serverConnectionBroken(QSqlDatabase::database(mConnectionName, false));
}

QString Database::failureText(const QString &message, const QString &error) const {
    if (!connectionLost())
        return message;
    QString reason = error.trimmed().isEmpty() ? mReconnectError : error;
    if (PGconn *connection = serverHandle(QSqlDatabase::database(mConnectionName, false));
        connection && error.trimmed().isEmpty())
        reason = QString::fromUtf8(PQerrorMessage(connection));
    reason.remove(QLatin1Char('\t'));
    if (reason.trimmed().isEmpty())
        reason = mConnectionError.isEmpty() ? QStringLiteral("连接已断开。") : mConnectionError;
    return QStringLiteral("无法连接数据库服务器！\n") + message +
           QStringLiteral("\n请确认服务器已经启动、网络畅通后再试，程序会自动重新连接。\n\n服务器的回答：") +
           reason.trimmed();
}

void Database::openEmbedded() {
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
        return;
    }
    q.finish();
    upgradeSchema(db);
}

void Database::upgradeSchema(QSqlDatabase &db) {
    // A database of an earlier version (an older program's file, a restored older backup, a server that older
    // programs used) gains what this program stores beside the old tables; nothing of it is lost.
    QString error;
    if (!Schema::upgrade(db, &error)) {
        mConnectionError = QStringLiteral("数据库升级失败：") + error;
        mMayReconnect = false;
        db.close();
    }
}

bool Database::isConnected() const {
    return QSqlDatabase::database(mConnectionName, false).isOpen();
}

QSqlDatabase Database::connection() const {
    QSqlDatabase db = QSqlDatabase::database(mConnectionName, false);
    if (mBackend == Backend::Server && mMayReconnect && mTransactionDepth == 0 && serverConnectionBroken(db))
        reconnect(db);
    return db;
}

void Database::close() {
    mMayReconnect = false;
    QSqlDatabase db = QSqlDatabase::database(mConnectionName, false);
    if (db.isOpen())
        db.close();
}

QString Database::caseInsensitiveLike() const {
    // SQLite's LIKE already ignores the case of Latin letters; PostgreSQL's does not.
    return mBackend == Backend::Server ? QStringLiteral("ILIKE") : QStringLiteral("LIKE");
}

bool Database::beginWriteTransaction(QString *error) {
    QSqlDatabase db = connection();
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

QString Database::lockRows() const {
    return mBackend == Backend::Server ? QStringLiteral(" FOR UPDATE") : QString();
}

std::optional<qint64> Database::insertReturningId(const QString &sql, const QVariantList &binds, QString *error) {
    QSqlQuery q(connection());
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

} // namespace

namespace {

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

// The same on an SQLite connection: straight through SQLite, as QSqlQuery would build a QVariant for every cell.
bool readSqlite(sqlite3 *db, const QString &sql, const QVariantList &binds, int fields, const Database::RowSink &onRow,
                const std::atomic<bool> *stop, QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
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

QString Database::GetDataBySQL(const QString &sql, const QVariantList &binds) {
    QSqlQuery dsQuery(connection());
    if (!execBound(dsQuery, sql, binds) || !dsQuery.next())
        return {};
    const QVariant value = dsQuery.value(0);
    return value.isNull() ? QString() : value.toString();
}

void Database::GetDataBySQLToItems(const QString &sql, const QVariantList &binds, QStringList &items, bool clearFirst) {
    QSqlQuery dsQuery(connection());
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

double Database::evaluateArithmetic(const QString &expression) {
    return Arithmetic::evaluate(expression).value_or(0.0);
}

std::optional<QString> Database::readLogPass() {
    return ParameterStore(*this).password();
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
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return fail(reason);
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(stmt, sqlite3_finalize);
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
            const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_reset(stmt);
            return fail(reason);
        }
        sqlite3_reset(stmt);
    }
}

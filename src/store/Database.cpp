#include "store/Database.h"

#include "store/Arithmetic.h"
#include "store/DriverHandles.h"
#include "store/ParameterStore.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

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
    // Statements prepared on the server went with the old session.
    mKept.clear();
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
    mKept.clear();
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

QSqlQuery *Database::keptStatement(const QString &sql, QString *error) {
    const QSqlDatabase db = connection();
    if (const auto kept = mKept.find(sql); kept != mKept.end())
        return &kept.value();
    QSqlQuery query(db);
    if (!query.prepare(sql)) {
        if (error)
            *error = query.lastError().text();
        return nullptr;
    }
    return &mKept.insert(sql, std::move(query)).value();
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

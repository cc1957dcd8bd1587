#include "support/TempAppFolder.h"

#include "store/Database.h"
#include "store/Schema.h"

#include "store/ServerSettings.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <cstdio>

namespace {
const QString AdminConnection = QStringLiteral("vantrel-test-admin");

ServerSettings clusterSettings(const QString &database) {
    ServerSettings s;
    QFile port(QStringLiteral(VANTREL_PG_STATE "/port"));
    if (port.open(QIODevice::ReadOnly))
        s.port = port.readAll().trimmed().toInt();
    s.host = QStringLiteral("127.0.0.1");
    s.user = QStringLiteral("vantrel");
    s.database = database;
    return s;
}

// Runs one statement on the cluster's maintenance database (creating and dropping the folders' databases).
QString onCluster(const QString &sql) {
    QString error;
    {
        QSqlDatabase db = Database::openServer(clusterSettings(QStringLiteral("postgres")), AdminConnection, &error);
        if (db.isOpen()) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                error = q.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(AdminConnection);
    return error;
}
} // namespace

void TempAppFolder::addStoreRows() {
    QTest::addColumn<TempAppFolder::Store>("store");
    QTest::newRow("embedded file") << Store::Embedded;
    QTest::newRow("server") << Store::Server;
}

QString TempAppFolder::selectStore() {
    QFETCH_GLOBAL(TempAppFolder::Store, store);
    sStore = store;
    return store == Store::Server ? serverUnavailableReason() : QString();
}

QString TempAppFolder::serverUnavailableReason() {
    static const QString reason = []() -> QString {
        QFile why(QStringLiteral(VANTREL_PG_STATE "/unavailable"));
        if (why.open(QIODevice::ReadOnly))
            return QStringLiteral("PostgreSQL test server unavailable: ") + QString::fromUtf8(why.readAll().trimmed());
        if (!QFile::exists(QStringLiteral(VANTREL_PG_STATE "/port")))
            return QStringLiteral("PostgreSQL test server not started (run through ctest: fixture pg_cluster_start)");
        const QString error = onCluster(QStringLiteral("SELECT 1"));
        return error.isEmpty() ? QString() : QStringLiteral("PostgreSQL test server does not answer: ") + error;
    }();
    return reason;
}

TempAppFolder::TempAppFolder(bool open)
    : TempAppFolder(open, Schema::Version) {}

TempAppFolder::TempAppFolder(bool open, int schemaVersion) {
    mValid = mDir.isValid() && Schema::layOutAppFolder(mDir.path());
    if (mValid && sStore == Store::Embedded && schemaVersion != Schema::Version)
        mValid = recreateEmbeddedDatabase(schemaVersion);
    if (mValid && sStore == Store::Server)
        mValid = createServerDatabase(schemaVersion);
    if (mValid && open)
        mValid = Database::create(mDir.path()).isConnected();
}

bool TempAppFolder::recreateEmbeddedDatabase(int schemaVersion) {
    const QString file = mDir.filePath(Database::DatabaseFile);
    if (!QFile::remove(file))
        return false;
    const QString connection = QStringLiteral("vantrel-test-older");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        QString error;
        ok = db.open() && Schema::create(db, &error, schemaVersion);
        if (!ok)
            qWarning("older schema: %s", qPrintable(error));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

bool TempAppFolder::createServerDatabase(int schemaVersion) {
    if (!serverUnavailableReason().isEmpty())
        return false;
    const QString name = QStringLiteral("vt_%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate64() & 0xffffffffffffULL, 0, 16);
    // Names are made here of digits and letters only; identifiers cannot be bound.
    if (!onCluster(QStringLiteral("CREATE DATABASE ") + name + QStringLiteral(" TEMPLATE template0 ENCODING 'UTF8'"))
             .isEmpty())
        return false;
    mServerDatabase = name;
    const ServerSettings settings = clusterSettings(name);
    bool ok = false;
    {
        QString error;
        QSqlDatabase db = Database::openServer(settings, AdminConnection, &error);
        ok = db.isOpen() && Schema::create(db, &error, schemaVersion);
        if (!ok)
            qWarning("server schema: %s", qPrintable(error));
        db.close();
    }
    QSqlDatabase::removeDatabase(AdminConnection);
    return ok && settings.write(mDir.path());
}

TempAppFolder::~TempAppFolder() {
    if (Database::exists() && Database::instance().appFolder().startsWith(mDir.path()))
        Database::destroy();
    if (!mServerDatabase.isEmpty())
        onCluster(QStringLiteral("DROP DATABASE IF EXISTS ") + mServerDatabase + QStringLiteral(" WITH (FORCE)"));
}

QString TempAppFolder::path() const {
    return mDir.path() + QLatin1Char('/');
}

QString TempAppFolder::file(const QString &relative) const {
    return path() + relative;
}

Database &TempAppFolder::database() {
    return Database::instance();
}

bool TempAppFolder::exec(const QString &sql, const QVariantList &binds) {
    QSqlQuery q(Database::instance().connection());
    // The server prepares only queries and row changes; fixtures that drop tables or add triggers run as they are.
    const bool ok = binds.isEmpty() ? q.exec(sql) : execBound(q, sql, binds);
    if (!ok)
        std::fprintf(stderr, "fixture statement failed: %s\n", qPrintable(q.lastError().text()));
    return ok;
}

QString TempAppFolder::scalar(const QString &sql, const QVariantList &binds) {
    return Database::instance().GetDataBySQL(sql, binds);
}

QString TempAppFolder::joined(const QString &sql, const QVariantList &binds) {
    QSqlQuery q(Database::instance().connection());
    if (!execBound(q, sql, binds)) {
        std::fprintf(stderr, "fixture query failed: %s\n", qPrintable(q.lastError().text()));
        return QStringLiteral("<failed>");
    }
    QStringList values;
    while (q.next())
        values << q.value(0).toString();
    return values.join(QLatin1Char(','));
}

bool TempAppFolder::refuseChanges(const QString &table, const QString &event, const QString &condition) {
    if (Database::instance().backend() == Database::Backend::Embedded) {
        return exec(QStringLiteral("CREATE TRIGGER refuse_%1_%2 BEFORE %2 ON %1 ").arg(table, event) +
                    (condition.isEmpty() ? QString() : QStringLiteral("WHEN ") + condition + QLatin1Char(' ')) +
                    QStringLiteral("BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    }
    const QString function = QStringLiteral("refuse_%1_%2").arg(table, event).toLower();
    return exec(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF %2 THEN "
                               "RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$")
                    .arg(function, condition.isEmpty() ? QStringLiteral("true") : condition)) &&
           exec(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()")
                    .arg(function, event, table));
}

namespace {
// A null QString binds as NULL; the program itself stores empty text.
QString text(const QString &s) {
    return s.isNull() ? QStringLiteral("") : s;
}
} // namespace

bool TempAppFolder::addCategory(const QString &code, const QString &name, const QString &parent) {
    return exec(QStringLiteral("INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES (?,?,?,?)"),
                {code, name, text(parent), parent.isEmpty() ? 0 : 1});
}

bool TempAppFolder::addCategoryTree(const QList<std::pair<QString, QString>> &children, const QString &rootName) {
    const QString root = QStringLiteral("0001");
    if (!addCategory(root, rootName))
        return false;
    for (const auto &[code, name] : children) {
        if (!addCategory(code, name, root))
            return false;
    }
    return true;
}

bool TempAppFolder::markDue(int indicator, int days) {
    return exec(QStringLiteral("UPDATE TDataPara SET DueRemind=1, DueDays=? WHERE ID=?"), {days, indicator});
}

int TempAppFolder::addIndicator(const QString &category, const QString &name, int type, const QString &column,
                                int sortIdx, const QString &calc, const QString &format, const QString &unit) {
    const std::optional<qint64> id = Database::instance().insertReturningId(
        QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,Unit,"
                       "CalcStr,SortIdx,DataFieldA) VALUES (?,?,?,?,?,?,?,?)"),
        {category, name, type, text(format), text(unit), text(calc), sortIdx, column});
    return id ? int(*id) : -1;
}

#pragma once

#include "store/Transaction.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <QElapsedTimer>
#include <QHash>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct ServerSettings;

// The data module: owns the one database connection of the process and determines the application folder.
// Every statement is prepared with '?' placeholders and bound values; no value is ever spliced into SQL text.
class Database {
public:
    // Relative paths below the application folder.
    static inline const QString DatabaseFile = QStringLiteral("DB/ZYDB.dat");
    static inline const QString ModelFolder = QStringLiteral("DB/ModelFiles/");
    static inline const QString ContractFolder = QStringLiteral("DB/ContractFile/");
    static inline const QString EmptyDoc = QStringLiteral("DB/Empty.Doc");

    enum class Backend { Embedded, Server };

    // Opens the database of the application folder (the executable's folder in the program, a temporary folder in
    // tests) for its owner: the composition root, a tool's main, a test's fixture. With DB/Server.ini in the folder
    // the connection goes to that PostgreSQL server with the given password; otherwise to DB/ZYDB.dat. Until the
    // last caller of instance() is handed its database, instance() answers with the one opened last.
    static std::unique_ptr<Database> open(const QString &appFolder, const QString &serverPassword = QString());
    // The same, owned by the process (replacing a previous one); for callers not yet converted to an owner.
    static Database &create(const QString &appFolder, const QString &serverPassword = QString());
    // True when the folder names a server: the program asks for its password before create().
    static bool usesServer(const QString &appFolder);
    // Opens a separate connection to a server (for testing settings); the caller removes it with
    // QSqlDatabase::removeDatabase(name) when done.
    static QSqlDatabase openServer(const ServerSettings &settings, const QString &connectionName, QString *error);
    static Database &instance();
    static bool exists();
    static void destroy();

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Folder with a trailing '/'.
    const QString &appFolder() const { return mAppFolder; }
    QString path(const QString &relative) const { return mAppFolder + relative; }

    // True when the connection opened at creation; false after a failure or close().
    bool isConnected() const;
    QString connectionError() const { return mConnectionError; }
    // The connection. On the server, one found broken (the server restarted, the network dropped) is opened again
    // here with the settings and password it was made with, but never inside inTransaction(): statements of a
    // transaction must not go on in a new session. After a failed attempt the next waits ReconnectPauseMs, so an
    // unreachable server does not hold every statement for the connect timeout.
    QSqlDatabase connection() const;
    static constexpr int ReconnectPauseMs = 2000;
    // True when the store is the server and the connection to it is broken now.
    bool connectionLost() const;
    // What the user is told after an operation failed: `message` as it stands, or, when the server connection is
    // lost, that the server cannot be reached, with the server's reason (the failed statement's error when given).
    QString failureText(const QString &message, const QString &error = QString()) const;
    void close();
    Backend backend() const { return mBackend; }

    // The few places where the two stores' SQL differs. Everything else is one text for both.
    // Operator for a LIKE pattern that ignores the case of Latin letters.
    QString caseInsensitiveLike() const;
    // Runs an INSERT into a table whose first column is its generated ID and returns that ID; nullopt on failure.
    std::optional<qint64> insertReturningId(const QString &sql, const QVariantList &binds, QString *error = nullptr);
    // Reads every row of a SELECT with at least `fields` columns and hands each row to onRow as UTF-8 texts
    // (null and empty are both an empty text). Built for the register: hundreds of thousands of cells without a
    // QVariant each on the embedded store. Returns false with the reason on failure; rows already handed over
    // stay with the caller.
    using RowSink = std::function<void(const char *const *texts, const int *sizes)>;
    bool bulkRead(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                  QString *error = nullptr);

    // Where a read on a connection of its own goes: the embedded file, or the server with the options (password
    // included) of the module's connection. Taken on the module's thread, used on any other.
    struct ReadSource {
        Backend backend = Backend::Embedded;
        QByteArray file;
        std::vector<std::pair<QByteArray, QByteArray>> serverOptions;
    };
    ReadSource readSource() const;
    // bulkRead on a connection of its own, opened and closed here: for a reader thread, so that the module's
    // connection stays free while the rows come. Stops with false (reason "stopped") once *stop is set. It sees
    // what was committed when it starts, not the module's open transaction.
    static bool bulkReadFrom(const ReadSource &source, const QString &sql, const QVariantList &binds, int fields,
                             const RowSink &onRow, const std::atomic<bool> *stop, QString *error = nullptr);

    // Runs one statement (with '?' or ':name' placeholders, bound in order) for many rows on the embedded file,
    // inside the caller's transaction: `next` fills the values of the next row (a null text binds NULL) and returns
    // false after the last. The texts go to SQLite as UTF-8 without QtSql's conversions of every value. Returns false
    // with the reason at the first row that fails (its values were the last `next` gave) or on the server, where
    // the caller binds through the driver.
    using RowValues = std::function<bool(QStringList &values)>;
    bool execManyEmbedded(const QString &sql, const RowValues &next, QString *error = nullptr);

    // A statement prepared once on the module's connection and kept for the next call with the same text, for one
    // that runs on every save (the history row): bind its values by position and exec() it. Prepared anew after
    // the connection was closed or opened again. Null with the reason when it cannot be prepared.
    QSqlQuery *keptStatement(const QString &sql, QString *error = nullptr);

    // First column of the first row as text; empty text on failure, no row or null.
    QString GetDataBySQL(const QString &sql, const QVariantList &binds = {});
    // Appends the non-empty first-column texts of all rows; on failure the list stays as it was.
    void GetDataBySQLToItems(const QString &sql, const QVariantList &binds, QStringList &items, bool clearFirst);
    // Value of an arithmetic expression; 0 for anything that cannot be evaluated. The expression never reaches
    // the database: formula text typed by the user cannot read or change data.
    double evaluateArithmetic(const QString &expression);

    // The stored login password of the parameter row; nullopt when the table cannot be read,
    // empty text when it has no row.
    std::optional<QString> readLogPass();

    // Consistent copy of the open database into a new file, through SQLite's online backup.
    bool backupDatabaseTo(const QString &targetFile, QString *error = nullptr);
    // The same copy as the bytes of a database file, taken in memory: for an archive that stores it, without a
    // copy written to disk and read back. Nothing on failure.
    std::optional<QByteArray> databaseImage(QString *error = nullptr);

    // Runs fn inside one transaction; commits when it returns true, rolls back otherwise or on a failed commit.
    template <typename Fn> bool inTransaction(Fn &&fn, QString *error = nullptr) {
        const QSqlDatabase db = connection();
        const TransactionScope scope(*this);
        return ::inTransaction(db, std::forward<Fn>(fn), error);
    }

    // Runs fn inside a transaction that holds the right to write from its first statement, so that what fn reads
    // cannot be changed by another program before fn writes. The embedded file's ordinary transaction would take
    // its write lock only at the first write, after the reads. Commits when fn returns true, rolls back otherwise.
    template <typename Fn> bool inWriteTransaction(Fn &&fn, QString *error = nullptr) {
        QSqlDatabase db = connection();
        const TransactionScope scope(*this);
        return beginWriteTransaction(error) && finishTransaction(db, std::forward<Fn>(fn), error);
    }
    // Appended to a SELECT inside inWriteTransaction: on the server the rows read stay locked against other
    // programs until the transaction ends; the embedded file's write transaction already shuts every other writer
    // out, so there it adds nothing.
    QString lockRows() const;

private:
    struct TransactionScope {
        explicit TransactionScope(const Database &dm)
            : mDm(dm) {
            ++mDm.mTransactionDepth;
        }
        ~TransactionScope() { --mDm.mTransactionDepth; }
        TransactionScope(const TransactionScope &) = delete;
        TransactionScope &operator=(const TransactionScope &) = delete;
        const Database &mDm;
    };

    bool beginWriteTransaction(QString *error);
    Database(const QString &appFolder, const QString &serverPassword);
    void reconnect(QSqlDatabase &db) const;
    void DataModuleCreate(const QString &serverPassword);
    void openEmbedded();
    void upgradeSchema(QSqlDatabase &db);
    void openServer(const ServerSettings &settings);
    bool bulkReadEmbedded(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                          QString *error);
    bool bulkReadServer(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                        QString *error);

    QString mAppFolder;
    QString mConnectionName;
    QString mConnectionError;
    Backend mBackend = Backend::Embedded;
    // Reconnecting: only a connection that was open and not closed on purpose, never inside a transaction.
    bool mMayReconnect = false;
    mutable int mTransactionDepth = 0;
    mutable QElapsedTimer mLastReconnect;
    mutable QString mReconnectError;
    // keptStatement()'s statements; emptied before the connection closes.
    mutable QHash<QString, QSqlQuery> mKept;
};

// A prepared statement on the module's connection with its values bound in order. Returns whether exec succeeded;
// the error text goes to *error when given.
bool execBound(QSqlQuery &query, const QString &sql, const QVariantList &binds, QString *error = nullptr);

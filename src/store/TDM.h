#pragma once

#include "store/Transaction.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>
#include <utility>

// The data module: owns the one database connection of the process and determines the application folder.
// Every statement is prepared with '?' placeholders and bound values; no value is ever spliced into SQL text.
class TDM {
public:
    // Relative paths below the application folder.
    static inline const QString DatabaseFile = QStringLiteral("DB/ZYDB.dat");
    static inline const QString ModelFolder = QStringLiteral("DB/ModelFiles/");
    static inline const QString ContractFolder = QStringLiteral("DB/ContractFile/");
    static inline const QString EmptyDoc = QStringLiteral("DB/Empty.Doc");

    // Creates the process-wide module for the given application folder (the executable's folder in the program,
    // a temporary folder in tests) and opens the connection. A previous module is replaced.
    static TDM &create(const QString &appFolder);
    static TDM &instance();
    static bool exists();
    static void destroy();

    ~TDM();
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    // Folder with a trailing '/'.
    const QString &appFolder() const { return mAppFolder; }
    QString path(const QString &relative) const { return mAppFolder + relative; }

    // True when the connection opened at creation; false after a failure or close().
    bool isConnected() const;
    QString connectionError() const { return mConnectionError; }
    QSqlDatabase ADOLocal() const;
    void close();

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

    // Reads every row of a SELECT with at least `fields` columns and hands each row to onRow as UTF-8 texts (null
    // and empty are both an empty text). Built for the register: hundreds of thousands of cells without a QVariant
    // each. False with the reason on failure; rows already handed over stay with the caller.
    using RowSink = std::function<void(const char *const *texts, const int *sizes)>;
    bool bulkRead(const QString &sql, const QVariantList &binds, int fields, const RowSink &onRow,
                  QString *error = nullptr);

    // Consistent copy of the open database into a new file, through SQLite's online backup.
    bool backupDatabaseTo(const QString &targetFile, QString *error = nullptr);

    // Runs fn inside one transaction; commits when it returns true, rolls back otherwise or on a failed commit.
    template <typename Fn> bool inTransaction(Fn &&fn, QString *error = nullptr) {
        return ::inTransaction(ADOLocal(), std::forward<Fn>(fn), error);
    }

private:
    explicit TDM(const QString &appFolder);
    void DataModuleCreate();

    QString mAppFolder;
    QString mConnectionName;
    QString mConnectionError;
};

// A prepared statement on the module's connection with its values bound in order. Returns whether exec succeeded;
// the error text goes to *error when given.
bool execBound(QSqlQuery &query, const QString &sql, const QVariantList &binds, QString *error = nullptr);

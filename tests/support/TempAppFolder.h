#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>

class Database;

// A fresh application folder in a temporary directory: the real database file with every table, the document
// folders, and the database opened on it. Destroying it closes the database and removes the folder.
//
// The folder can also point at the test cluster of PostgreSQL (started by the ctest fixture): then it holds
// DB/Server.ini naming a fresh database of its own with every table, dropped again on destruction. A test runs on
// both stores by a global data table (initTestCase_data with TempAppFolder::addStoreRows()) and
// TempAppFolder::selectStore() in init(), which skips with the reason when the server is not there; BothStoresTest
// (support/BothStoresTest.h) is a base class that does both.
class TempAppFolder {
public:
    enum class Store { Embedded, Server };
    // Rows "embedded file" and "server" with a column "store".
    static void addStoreRows();
    // Reads the global row and makes it the store of every folder made afterwards. Returns the reason the server
    // cannot be used (the caller skips) or empty text.
    static QString selectStore();
    static void useStore(Store store) { sStore = store; }
    static Store store() { return sStore; }
    // Empty when the test cluster answers; otherwise why not.
    static QString serverUnavailableReason();

    // With `open` false the folder is laid out but no database is opened.
    explicit TempAppFolder(bool open = true);
    // The same with the tables as the given earlier version of the program made them: how an upgrade is tested.
    TempAppFolder(bool open, int schemaVersion);
    ~TempAppFolder();

    bool isValid() const { return mValid; }
    // The folder's database: what a test hands to the classes it makes.
    Database &database();
    QString path() const;
    QString file(const QString &relative) const;

    // Small fixtures: a root and a child category, and indicators given as (name, type, DataFieldA).
    bool addCategory(const QString &code, const QString &name, const QString &parent = QString());
    // The tree most tests start from: the root category 0001 and the given (code, name) children under it.
    bool addCategoryTree(const QList<std::pair<QString, QString>> &children,
                         const QString &rootName = QStringLiteral("根"));
    int addIndicator(const QString &category, const QString &name, int type, const QString &column, int sortIdx,
                     const QString &calc = QString(), const QString &format = QString(),
                     const QString &unit = QString());
    // Makes a date indicator remind `days` ahead of its date.
    bool markDue(int indicator, int days);
    // Executes a statement with bound values; QFAIL-style failure is the caller's (returns false).
    bool exec(const QString &sql, const QVariantList &binds = {});
    QString scalar(const QString &sql, const QVariantList &binds = {});
    // The first column of every row (null as empty text) joined by commas, in the statement's order.
    QString joined(const QString &sql, const QVariantList &binds = {});
    // Makes the database refuse every `event` ("INSERT", "UPDATE", "DELETE") on the table, or only the rows where
    // `condition` (an expression on NEW, e.g. "NEW.PropertyName='x'") holds: how a test makes a write fail midway.
    bool refuseChanges(const QString &table, const QString &event, const QString &condition = QString());

private:
    bool createServerDatabase(int schemaVersion);
    bool recreateEmbeddedDatabase(int schemaVersion);

    QTemporaryDir mDir;
    bool mValid = false;
    QString mServerDatabase;
    static inline Store sStore = Store::Embedded;
};

Q_DECLARE_METATYPE(TempAppFolder::Store)

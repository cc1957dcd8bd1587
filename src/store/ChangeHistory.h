#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

class Database;

class Database;

// The history of changes ("修改记录"): one row in TChangeLog per write of a contract record or contract document,
// with the time, the users, what was done and, per changed indicator, the old and the new value. A write path calls
// record() inside its own transaction, so the change and its history stand or fall together. Nothing in the
// program edits or deletes history rows (only the system rebuild empties the table with the contracts).
namespace ChangeHistory {

// What was done, as stored and shown.
inline const QString Created = QStringLiteral("新建");
inline const QString Changed = QStringLiteral("修改");
inline const QString Copied = QStringLiteral("复制");
inline const QString Deleted = QStringLiteral("删除");
inline const QString Imported = QStringLiteral("导入");
inline const QString Cleared = QStringLiteral("清除指标数值");
inline const QString Restored = QStringLiteral("数据库还原");
inline const QString DocumentGenerated = QStringLiteral("生成合同文档");
inline const QString DocumentRegenerated = QStringLiteral("重新生成合同文档");
inline const QString DocumentSaved = QStringLiteral("保存合同文档");
inline const QString DocumentDeleted = QStringLiteral("删除合同文档");

struct Change {
    QString indicator;
    QString oldValue;
    QString newValue;
    bool operator==(const Change &) const = default;
};

struct Entry {
    qint64 recordId = 0;
    QString category;
    QString action;
    QList<Change> changes;
    // A contract document's path below the application folder and the SHA-256 (hex) of the file as written.
    QString documentFile;
    QString documentSha256;
};

// One indicator of a category: its name and its value column (DataN).
struct Indicator {
    QString name;
    QString column;
};

// Values of a record by lower-case column name.
using Values = QHash<QString, QString>;

// Writes one history row on the data module's connection. Call it inside the write's transaction.
bool record(const Entry &entry, QString *error = nullptr);
// The same on the database's connection, through a statement kept prepared there (one per save is written).
bool record(Database &database, const Entry &entry, QString *error = nullptr);
// The same on another connection (a restore writes into the restored database before it takes its place).
bool record(QSqlDatabase db, const Entry &entry, QString *error = nullptr);

// The statement of one history row and its values in order, for a caller that writes many rows through
// Database::execManyEmbedded.
QString insertStatement();
QStringList insertValues(const Entry &entry, const QSqlDatabase &db);

// A write of one contract record (`writeSql`: an INSERT or UPDATE of TContractMain with its values in `binds`) and
// its history row `entry`, whose record ID is the one written (an insert's new record). On the server both go in
// one statement, one round trip; on the embedded file the row follows the write. Returns the record's ID; nullopt
// with the reason when either failed or an update found no record. Call it inside the write's transaction.
enum class Write { Insert, Update };
std::optional<qint64> writeRecorded(Database &database, Write kind, const QString &writeSql, const QVariantList &binds,
                                    Entry entry, QString *error = nullptr);

// While one lives (with `paused` true), record() writes nothing and reports success. Only for measuring what the
// history costs a save (bench_save_history); nothing in the program makes one.
class Pause {
public:
    explicit Pause(bool paused);
    ~Pause();
    Pause(const Pause &) = delete;
    Pause &operator=(const Pause &) = delete;

private:
    bool mWas;
};

// Records that the program wrote (or deleted) a contract document file, with the digest of the file as it is now,
// in a transaction of its own (a file is not part of a database transaction). An empty category is looked up from
// the record. False when the row could not be written.
bool recordDocument(qint64 recordId, const QString &category, const QString &action, const QString &localPath);
// One document write for recordDocuments().
struct DocumentWrite {
    qint64 recordId = 0;
    QString category; // empty: looked up from the record
    QString action;
    QString localPath;
};
// The rows of many document writes (a batch's documents), each as recordDocument() writes it, in one transaction
// per thousand: a batch pays one disk sync for its history, not one per document. Should such a transaction fail,
// its rows are tried one by one. How many rows were written.
int recordDocuments(Database &database, const QList<DocumentWrite> &writes);

// The category's indicators in their order; nullopt when they cannot be read.
std::optional<QList<Indicator>> indicatorsOf(const QString &category, QString *error = nullptr);
// The values of one record (empty when there is no such record); nullopt when it cannot be read.
std::optional<Values> recordValues(qint64 recordId, QString *error = nullptr);
// Per indicator whose value differs between the two, in the indicators' order.
QList<Change> changesBetween(const QList<Indicator> &indicators, const Values &before, const Values &after);

// The operating system's user running the program.
QString osUser();

// Reading, for the windows.
struct Row {
    qint64 id = 0;
    QString time;
    QString osUser;
    QString dbUser;
    qint64 recordId = 0;
    QString category;
    QString categoryName;
    QString action;
    QList<Change> changes;
    QString documentFile;
    QString documentSha256;
    bool outside = false;
};
struct Filter {
    std::optional<qint64> recordId;
    QDate from;
    QDate to;
    // Matches the operating system's user or the database user.
    QString user;
    QString category;
};
// Rows that pass the filter, newest first; nullopt when they cannot be read.
std::optional<QList<Row>> read(const Filter &filter, QString *error = nullptr);
// Every user name that occurs in the history (either kind), sorted.
QStringList users();
// The child categories (code, name) the history can be filtered by, in code order; empty when they cannot be read.
QList<QPair<QString, QString>> childCategories(Database &database);
// The changes as lines "name：old → new".
QString describe(const QList<Change> &changes);

// The last time the program wrote the document (generated, regenerated or saved it); nullopt when never.
std::optional<Row> lastDocumentWrite(const QString &documentFile);
// Whether a contract document file is the one the program last wrote: its digest against the one recorded then.
struct DocumentCheck {
    enum class Outcome {
        Unchanged,    // the file is as the program last wrote it
        Changed,      // it was changed since (by the office's own save, another program, by hand)
        NeverWritten, // the history holds no write of it by the program
        Missing,      // the file cannot be read
    };
    Outcome outcome = Outcome::Missing;
    QString sha256;               // of the file as it is now
    std::optional<Row> lastWrite; // the program's last write of it
};
DocumentCheck checkDocument(const QString &localPath);
// What the user is told about the check, in one text.
QString describe(const DocumentCheck &check, const QString &localPath);

// SHA-256 of a file's bytes as lower-case hex; empty when the file cannot be read.
QString fileSha256(const QString &path);

} // namespace ChangeHistory

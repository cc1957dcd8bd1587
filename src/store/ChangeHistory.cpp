#include "store/ChangeHistory.h"

#include "platform/Clock.h"
#include "store/Database.h"
#include "store/DocumentStore.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cstdio>

#include <pwd.h>
#include <unistd.h>

namespace ChangeHistory {

namespace {

// A JSON string as QJsonDocument's compact form writes it, from out on: quote, backslash and control characters
// escaped, a lone surrogate (which UTF-8 cannot carry) as \uXXXX, everything else as it stands. Writes at most
// 6 units per unit of the text and 2 more; returns the end of what it wrote.
char16_t *writeJsonString(char16_t *out, const QString &text) {
    static constexpr char Hex[] = "0123456789abcdef";
    auto escaped = [&](char16_t u) {
        *out++ = u'\\';
        *out++ = u'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = char16_t(Hex[(u >> shift) & 0xF]);
    };
    *out++ = u'"';
    const auto *p = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *const end = p + text.size();
    while (p < end) {
        const char16_t u = *p++;
        if (u >= 0x20 && u != u'"' && u != u'\\' && (u < 0xD800 || u > 0xDFFF)) {
            *out++ = u;
        } else if (u == u'"' || u == u'\\') {
            *out++ = u'\\';
            *out++ = u;
        } else if (u < 0x20) {
            const char16_t *named = u == u'\b'   ? u"b"
                                    : u == u'\f' ? u"f"
                                    : u == u'\n' ? u"n"
                                    : u == u'\r' ? u"r"
                                    : u == u'\t' ? u"t"
                                                 : nullptr;
            if (named) {
                *out++ = u'\\';
                *out++ = *named;
            } else {
                escaped(u);
            }
        } else if (QChar::isHighSurrogate(u) && p < end && QChar::isLowSurrogate(*p)) {
            *out++ = u;
            *out++ = *p++;
        } else {
            escaped(u);
        }
    }
    *out++ = u'"';
    return out;
}

// The changes as a JSON array of [indicator, old, new], written directly: an import writes one such text per
// record, and building a QJsonDocument for each cost more than storing the records.
QString encode(const QList<Change> &changes) {
    qsizetype most = 2;
    for (const Change &c : changes)
        most += 6 * (c.indicator.size() + c.oldValue.size() + c.newValue.size()) + 6 + 3 + 2;
    QString text(most, Qt::Uninitialized);
    char16_t *const start = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = start;
    *out++ = u'[';
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const Change &c = changes.at(i);
        if (i > 0)
            *out++ = u',';
        *out++ = u'[';
        out = writeJsonString(out, c.indicator);
        *out++ = u',';
        out = writeJsonString(out, c.oldValue);
        *out++ = u',';
        out = writeJsonString(out, c.newValue);
        *out++ = u']';
    }
    *out++ = u']';
    text.truncate(out - start);
    return text;
}

QList<Change> decode(const QString &text) {
    QList<Change> changes;
    const QJsonArray list = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const QJsonValue &item : list) {
        const QJsonArray c = item.toArray();
        changes.append({c.at(0).toString(), c.at(1).toString(), c.at(2).toString()});
    }
    return changes;
}

bool gPaused = false;

QString databaseUser(const QSqlDatabase &db) {
    return db.driverName() == QLatin1String("QPSQL") ? db.userName() : QString();
}

} // namespace

QString osUser() {
    static const QString name = [] {
        if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
            return QString::fromLocal8Bit(pw->pw_name);
        const QString user = qEnvironmentVariable("USER");
        return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
    }();
    return name;
}

Pause::Pause(bool paused)
    : mWas(gPaused) {
    gPaused = paused;
}

Pause::~Pause() {
    gPaused = mWas;
}

bool record(const Entry &entry, QString *error) {
    return record(Database::instance(), entry, error);
}

QString insertStatement() {
    return QStringLiteral(
        "INSERT INTO TChangeLog (ChangeTime, OsUser, DbUser, RecordID, MainTypeCode, Action, Changes, "
        "DocumentFile, DocumentSha256, Outside) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0)");
}

namespace {

// The time as the history stores it, "yyyy-MM-dd HH:mm:ss", written without the general formatter, which parses
// its format anew for each of an import's rows.
QString timeText(const QDateTime &at) {
    const QDate date = at.date();
    const QTime time = at.time();
    if (!date.isValid() || !time.isValid() || date.year() < 1000 || date.year() > 9999)
        return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    char text[24];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                     date.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(text, length);
}

} // namespace

QStringList insertValues(const Entry &entry, const QSqlDatabase &db) {
    return {timeText(Clock::instance().now()),
            osUser(),
            databaseUser(db),
            QString::number(entry.recordId),
            entry.category,
            entry.action,
            encode(entry.changes),
            entry.documentFile,
            entry.documentSha256};
}

namespace {

// The values of insertStatement() in order, the record's ID as a number: the server compares it with a number
// column.
QVariantList rowValues(const Entry &entry, const QSqlDatabase &db) {
    QVariantList binds;
    for (const QString &value : insertValues(entry, db))
        binds << value;
    binds[3] = entry.recordId;
    return binds;
}

// The history row of the record written by `writeSql` in the same statement, for the server: the write becomes a
// data-modifying WITH, the row takes the ID of the record written from it, and the statement returns that ID. The
// row's values (rowValues() without the record's ID) follow the write's.
QString withHistoryRow(const QString &writeSql) {
    return QStringLiteral("WITH written AS (") + writeSql +
           QStringLiteral(
               " RETURNING ID) "
               "INSERT INTO TChangeLog (ChangeTime, OsUser, DbUser, RecordID, MainTypeCode, Action, Changes, "
               "DocumentFile, DocumentSha256, Outside) "
               "SELECT CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS TEXT), written.ID, CAST(? AS TEXT), "
               "CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS TEXT), 0 FROM written "
               "RETURNING RecordID");
}

} // namespace

bool record(QSqlDatabase db, const Entry &entry, QString *error) {
    if (gPaused)
        return true;
    QSqlQuery q(db);
    return execBound(q, insertStatement(), rowValues(entry, db), error);
}

bool record(Database &database, const Entry &entry, QString *error) {
    if (gPaused)
        return true;
    QSqlQuery *q = database.keptStatement(insertStatement(), error);
    if (!q)
        return false;
    const QVariantList binds = rowValues(entry, database.connection());
    for (qsizetype i = 0; i < binds.size(); ++i)
        q->bindValue(int(i), binds.at(i));
    const bool done = q->exec();
    if (!done && error)
        *error = q->lastError().text();
    q->finish();
    return done;
}

std::optional<qint64> writeRecorded(Database &database, Write kind, const QString &writeSql, const QVariantList &binds,
                                    Entry entry, QString *error) {
    if (database.backend() == Database::Backend::Server && !gPaused) {
        QSqlQuery q(database.connection());
        q.setForwardOnly(true);
        QVariantList all = binds;
        QVariantList row = rowValues(entry, database.connection());
        row.removeAt(3);
        all += row;
        if (!execBound(q, withHistoryRow(writeSql), all, error))
            return std::nullopt;
        if (!q.next()) {
            if (error)
                *error = QStringLiteral("no record written");
            return std::nullopt;
        }
        return q.value(0).toLongLong();
    }
    if (kind == Write::Insert) {
        const std::optional<qint64> id = database.insertReturningId(writeSql, binds, error);
        if (!id)
            return std::nullopt;
        entry.recordId = *id;
    } else {
        QSqlQuery q(database.connection());
        if (!execBound(q, writeSql, binds, error))
            return std::nullopt;
        if (q.numRowsAffected() < 1) {
            if (error)
                *error = QStringLiteral("no record written");
            return std::nullopt;
        }
    }
    if (!record(database, entry, error))
        return std::nullopt;
    return entry.recordId;
}

namespace {

// A document's row without its category when that is to be looked up; the digest is taken here, before any
// transaction, so that reading the file never holds the database.
Entry documentEntry(const DocumentWrite &write) {
    const QString relative = DocumentStore::relativePath(write.localPath);
    const QString sha = write.action == DocumentDeleted ? QString() : fileSha256(write.localPath);
    return {write.recordId, write.category, write.action, {}, relative.isEmpty() ? write.localPath : relative, sha};
}

bool recordDocumentEntry(Database &dm, Entry entry) {
    if (entry.category.isEmpty()) {
        // A record that cannot be read leaves the category empty; the row is written all the same.
        if (QSqlQuery *q =
                dm.keptStatement(QStringLiteral("SELECT MainTypeCode FROM TContractMain WHERE ID=?"), nullptr)) {
            q->bindValue(0, entry.recordId);
            if (q->exec() && q->next())
                entry.category = q->value(0).toString();
            q->finish();
        }
    }
    return record(dm, entry);
}

} // namespace

bool recordDocument(qint64 recordId, const QString &category, const QString &action, const QString &localPath) {
    return recordDocuments(Database::instance(), {{recordId, category, action, localPath}}) == 1;
}

int recordDocuments(Database &dm, const QList<DocumentWrite> &writes) {
    QList<Entry> entries;
    entries.reserve(writes.size());
    for (const DocumentWrite &write : writes)
        entries.append(documentEntry(write));
    constexpr qsizetype PerTransaction = 1000;
    int written = 0;
    for (qsizetype from = 0; from < entries.size(); from += PerTransaction) {
        const QList<Entry> some = entries.mid(from, PerTransaction);
        const bool together = dm.inTransaction([&] {
            for (const Entry &entry : some) {
                if (!recordDocumentEntry(dm, entry))
                    return false;
            }
            return true;
        });
        if (together) {
            written += int(some.size());
            continue;
        }
        for (const Entry &entry : some)
            written += dm.inTransaction([&] { return recordDocumentEntry(dm, entry); }) ? 1 : 0;
    }
    return written;
}

std::optional<QList<Indicator>> indicatorsOf(const QString &category, QString *error) {
    QSqlQuery q(Database::instance().connection());
    q.setForwardOnly(true);
    if (!execBound(q,
                   QStringLiteral("SELECT PropertyName, DataFieldA FROM TDataPara WHERE MainTypeCode=? "
                                  "ORDER BY SortIdx, ID"),
                   {category}, error))
        return std::nullopt;
    QList<Indicator> list;
    while (q.next())
        list.append({q.value(0).toString(), q.value(1).toString()});
    return list;
}

std::optional<Values> recordValues(qint64 recordId, QString *error) {
    QSqlQuery q(Database::instance().connection());
    q.setForwardOnly(true);
    if (!execBound(q, QStringLiteral("SELECT * FROM TContractMain WHERE ID=?"), {recordId}, error))
        return std::nullopt;
    Values values;
    if (q.next()) {
        const QSqlRecord row = q.record();
        for (int i = 0; i < row.count(); ++i)
            values.insert(row.fieldName(i).toLower(), row.value(i).toString());
    }
    return values;
}

QList<Change> changesBetween(const QList<Indicator> &indicators, const Values &before, const Values &after) {
    QList<Change> changes;
    for (const Indicator &indicator : indicators) {
        const QString column = indicator.column.toLower();
        if (column.isEmpty())
            continue;
        const QString oldValue = before.value(column);
        const QString newValue = after.value(column);
        if (oldValue != newValue)
            changes.append({indicator.name, oldValue, newValue});
    }
    return changes;
}

namespace {

// The rows after `conditions` (" AND ..." on h, the history, with their values in binds), newest first.
std::optional<QList<Row>> rowsWhere(const QString &conditions, const QVariantList &binds, const QString &limit,
                                    QString *error) {
    const QString sql = QStringLiteral("SELECT h.ID, h.ChangeTime, h.OsUser, h.DbUser, h.RecordID, h.MainTypeCode, "
                                       "c.TypeName, h.Action, h.Changes, h.DocumentFile, h.DocumentSha256, h.Outside "
                                       "FROM TChangeLog h LEFT JOIN TContractClass c ON c.TypeCode = h.MainTypeCode "
                                       "WHERE 1=1") +
                        conditions + QStringLiteral(" ORDER BY h.ID DESC") + limit;
    QSqlQuery q(Database::instance().connection());
    q.setForwardOnly(true);
    if (!execBound(q, sql, binds, error))
        return std::nullopt;
    QList<Row> rows;
    while (q.next()) {
        Row row;
        row.id = q.value(0).toLongLong();
        row.time = q.value(1).toString();
        row.osUser = q.value(2).toString();
        row.dbUser = q.value(3).toString();
        row.recordId = q.value(4).toLongLong();
        row.category = q.value(5).toString();
        row.categoryName = q.value(6).toString();
        row.action = q.value(7).toString();
        row.changes = decode(q.value(8).toString());
        row.documentFile = q.value(9).toString();
        row.documentSha256 = q.value(10).toString();
        row.outside = q.value(11).toInt() != 0;
        rows.append(row);
    }
    return rows;
}

} // namespace

std::optional<QList<Row>> read(const Filter &filter, QString *error) {
    QString conditions;
    QVariantList binds;
    if (filter.recordId) {
        conditions += QStringLiteral(" AND h.RecordID=?");
        binds << *filter.recordId;
    }
    // Times are stored as "yyyy-MM-dd HH:mm:ss", so text comparison orders them.
    if (filter.from.isValid()) {
        conditions += QStringLiteral(" AND h.ChangeTime>=?");
        binds << filter.from.toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (filter.to.isValid()) {
        conditions += QStringLiteral(" AND h.ChangeTime<?");
        binds << filter.to.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (!filter.user.isEmpty()) {
        conditions += QStringLiteral(" AND (h.OsUser=? OR h.DbUser=?)");
        binds << filter.user << filter.user;
    }
    if (!filter.category.isEmpty()) {
        conditions += QStringLiteral(" AND h.MainTypeCode=?");
        binds << filter.category;
    }
    return rowsWhere(conditions, binds, QString(), error);
}

QStringList users() {
    QStringList names;
    Database &dm = Database::instance();
    dm.GetDataBySQLToItems(QStringLiteral("SELECT OsUser FROM TChangeLog UNION SELECT DbUser FROM TChangeLog"), {},
                           names, true);
    names.removeDuplicates();
    names.sort();
    return names;
}

QList<QPair<QString, QString>> childCategories(Database &database) {
    QList<QPair<QString, QString>> list;
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (execBound(q, QStringLiteral("SELECT TypeCode, TypeName FROM TContractClass WHERE nLeveal=? ORDER BY TypeCode"),
                  {1})) {
        while (q.next())
            list.append({q.value(0).toString(), q.value(1).toString()});
    }
    return list;
}

QString describe(const QList<Change> &changes) {
    QStringList lines;
    for (const Change &c : changes)
        lines << c.indicator + QStringLiteral("：") + c.oldValue + QStringLiteral(" → ") + c.newValue;
    return lines.join(QLatin1Char('\n'));
}

std::optional<Row> lastDocumentWrite(const QString &documentFile) {
    const std::optional<QList<Row>> rows = rowsWhere(
        QStringLiteral(" AND h.DocumentFile=? AND h.DocumentSha256<>'' AND h.Action IN (?, ?, ?)"),
        {documentFile, DocumentGenerated, DocumentRegenerated, DocumentSaved}, QStringLiteral(" LIMIT 1"), nullptr);
    if (!rows || rows->isEmpty())
        return std::nullopt;
    return rows->first();
}

DocumentCheck checkDocument(const QString &localPath) {
    DocumentCheck check;
    check.sha256 = fileSha256(localPath);
    if (check.sha256.isEmpty())
        return check;
    const QString relative = DocumentStore::relativePath(localPath);
    check.lastWrite = lastDocumentWrite(relative.isEmpty() ? localPath : relative);
    if (!check.lastWrite)
        check.outcome = DocumentCheck::Outcome::NeverWritten;
    else
        check.outcome = check.lastWrite->documentSha256 == check.sha256 ? DocumentCheck::Outcome::Unchanged
                                                                        : DocumentCheck::Outcome::Changed;
    return check;
}

QString describe(const DocumentCheck &check, const QString &localPath) {
    QString writer;
    if (check.lastWrite) {
        const Row &w = *check.lastWrite;
        QString user = w.osUser;
        if (!w.dbUser.isEmpty())
            user += QStringLiteral("（数据库用户 %1）").arg(w.dbUser);
        writer = QStringLiteral("\n本程序最后一次写入：%1，%2，用户：%3").arg(w.time, w.action, user);
    }
    switch (check.outcome) {
    case DocumentCheck::Outcome::Unchanged:
        return QStringLiteral("合同文档与本程序最后一次写入的内容相同，没有被修改过。") + writer;
    case DocumentCheck::Outcome::Changed:
        return QStringLiteral("合同文档在本程序最后一次写入之后已被修改！") + writer;
    case DocumentCheck::Outcome::NeverWritten:
        return QStringLiteral("修改记录中没有本程序写入这份合同文档的记录，无法确认它是否被修改过。");
    case DocumentCheck::Outcome::Missing:
        break;
    }
    return QStringLiteral("无法读取合同文档：") + localPath;
}

QString fileSha256(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace ChangeHistory

#include "store/ContractStore.h"

#include "store/Database.h"
#include "store/SqlText.h"

#include <QSqlQuery>

ContractStore::ContractStore(Database &database)
    : mDb(database) {}

QString ContractStore::listStatement(const QStringList &columns, bool sortedByCaller) {
    QString sql = QStringLiteral("SELECT ID");
    for (const QString &column : columns)
        sql += QLatin1Char(',') + column;
    sql += QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? ORDER BY ");
    sql += sortedByCaller ? QStringLiteral("ID") : QStringLiteral("ID DESC");
    return sql;
}

std::optional<bool> ContractStore::categoryExists(const QString &category) const {
    const QString count =
        mDb.GetDataBySQL(QStringLiteral("SELECT count(*) FROM TContractClass WHERE TypeCode=?"), {category});
    if (count.isEmpty())
        return std::nullopt;
    return count != QLatin1String("0");
}

std::optional<bool> ContractStore::lockCategory(const QString &category, QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!execBound(q, QStringLiteral("SELECT TypeCode FROM TContractClass WHERE TypeCode=?") + mDb.lockRows(),
                   {category}, error))
        return std::nullopt;
    return q.next();
}

std::optional<QSet<QPair<QString, QString>>> ContractStore::indicatorColumns(const QString &category,
                                                                             QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!execBound(q, QStringLiteral("SELECT PropertyName, DataFieldA FROM TDataPara WHERE MainTypeCode=?"), {category},
                   error))
        return std::nullopt;
    QSet<QPair<QString, QString>> indicators;
    while (q.next())
        indicators.insert({q.value(0).toString(), q.value(1).toString()});
    return indicators;
}

std::optional<std::optional<QSqlRecord>> ContractStore::record(const QString &category, qint64 id,
                                                               QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!execBound(q, QStringLiteral("SELECT * FROM TContractMain WHERE MainTypeCode=? AND ID=?"), {category, id},
                   error))
        return std::nullopt;
    if (!q.next())
        return std::optional<QSqlRecord>();
    return std::optional<QSqlRecord>(q.record());
}

std::optional<std::optional<QSqlRecord>> ContractStore::lockRecord(qint64 id, QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!execBound(q, QStringLiteral("SELECT * FROM TContractMain WHERE ID=?") + mDb.lockRows(), {id}, error))
        return std::nullopt;
    if (!q.next())
        return std::optional<QSqlRecord>();
    return std::optional<QSqlRecord>(q.record());
}

QSqlRecord ContractStore::recordById(qint64 id) {
    QSqlQuery q(mDb.connection());
    if (!execBound(q, QStringLiteral("Select * from TContractMain where ID=?"), {id}) || !q.next())
        return QSqlRecord();
    return q.record();
}

QHash<int, QSqlRecord> ContractStore::recordsById(const QList<int> &ids) {
    QHash<int, QSqlRecord> records;
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    // Within what every SQLite build and the server take as bound parameters of one statement.
    constexpr qsizetype MostAtOnce = 1000;
    for (qsizetype from = 0; from < ids.size(); from += MostAtOnce) {
        const QList<int> some = ids.mid(from, MostAtOnce);
        QVariantList binds;
        binds.reserve(some.size());
        for (const int id : some)
            binds << id;
        const QString sql = QStringLiteral("Select * from TContractMain where ID in (?%1)")
                                .arg(QStringLiteral(",?").repeated(some.size() - 1));
        if (!execBound(q, sql, binds))
            continue;
        while (q.next()) {
            const QSqlRecord record = q.record();
            records.insert(record.value(QStringLiteral("ID")).toInt(), record);
        }
    }
    return records;
}

QString ContractStore::importStatement(const QStringList &columns, const QStringList &placeholders) const {
    return QStringLiteral("INSERT INTO TContractMain (%1) VALUES (%2)")
               .arg(columns.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", "))) +
           (mDb.backend() == Database::Backend::Server ? QStringLiteral(" RETURNING ID") : QString());
}

std::optional<qint64> ContractStore::highestId() {
    const QString highest = mDb.GetDataBySQL(QStringLiteral("SELECT coalesce(max(ID), 0) FROM TContractMain"));
    if (highest.isEmpty())
        return std::nullopt;
    return highest.toLongLong();
}

QStringList ContractStore::idsAbove(qint64 id) {
    QStringList ids;
    mDb.GetDataBySQLToItems(QStringLiteral("SELECT ID FROM TContractMain WHERE ID>? ORDER BY ID"), {id}, ids, true);
    return ids;
}

bool ContractStore::update(qint64 id, const QString &category, const QStringList &columns, const QVariantList &values,
                           QString *error) const {
    QString sql = QStringLiteral("UPDATE TContractMain SET MainTypeCode=?");
    for (const QString &column : columns)
        sql += QLatin1Char(',') + column + QStringLiteral("=?");
    sql += QStringLiteral(" WHERE ID=?");
    QVariantList binds{category};
    binds += values;
    binds.append(id);
    QSqlQuery q(mDb.connection());
    return execBound(q, sql, binds, error);
}

std::optional<qint64> ContractStore::insert(const QString &category, const QStringList &columns,
                                            const QVariantList &values, QString *error) const {
    QString sql = QStringLiteral("INSERT INTO TContractMain (MainTypeCode");
    QString marks = QStringLiteral("?");
    for (const QString &column : columns) {
        sql += QLatin1Char(',') + column;
        marks += QStringLiteral(",?");
    }
    sql += QStringLiteral(") VALUES (") + marks + QLatin1Char(')');
    QVariantList binds{category};
    binds += values;
    return mDb.insertReturningId(sql, binds, error);
}

bool ContractStore::remove(qint64 id) const {
    QSqlQuery q(mDb.connection());
    return execBound(q, QStringLiteral("DELETE FROM TContractMain WHERE ID=?"), {id}) && q.numRowsAffected() >= 1;
}

std::optional<qint64> ContractStore::copy(qint64 sourceId, const QHash<QString, QString> &replaced) const {
    QStringList data;
    QStringList sources;
    QVariantList binds;
    for (int i = 1; i <= 80; ++i) {
        const QString column = QStringLiteral("Data%1").arg(i);
        data.append(column);
        if (const auto value = replaced.constFind(column); value != replaced.cend()) {
            sources.append(QStringLiteral("?"));
            binds.append(*value);
        } else {
            sources.append(column);
        }
    }
    binds.append(sourceId);
    return mDb.insertReturningId(QStringLiteral("INSERT INTO TContractMain (MainTypeCode,") +
                                     data.join(QLatin1Char(',')) + QStringLiteral(") SELECT MainTypeCode,") +
                                     sources.join(QLatin1Char(',')) + QStringLiteral(" FROM TContractMain WHERE ID=?"),
                                 binds);
}

std::optional<qint64> ContractStore::countWithValue(const QString &category, const QString &column,
                                                    const QString &value) const {
    const QString count = mDb.GetDataBySQL(
        QStringLiteral("SELECT count(*) FROM TContractMain WHERE MainTypeCode=? AND ") + column + QStringLiteral("=?"),
        {category, value});
    if (count.isEmpty())
        return std::nullopt;
    return count.toLongLong();
}

std::optional<QStringList> ContractStore::valuesStartingWith(const QString &category, const QString &column,
                                                             const QString &prefix) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    // The match ignores the case of Latin letters; the exact prefix is checked on each value.
    const QString sql = QStringLiteral("SELECT ") + column +
                        QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? AND ") + column + QLatin1Char(' ') +
                        mDb.caseInsensitiveLike() + QStringLiteral(" ? ESCAPE '\\'");
    if (!execBound(q, sql, {category, SqlText::prefixPattern(prefix)}))
        return std::nullopt;
    QStringList stored;
    while (q.next())
        stored.append(q.value(0).toString());
    return stored;
}

void ContractStore::distinctValues(const QString &category, const QString &column, QStringList &items) const {
    mDb.GetDataBySQLToItems(QStringLiteral("SELECT DISTINCT ") + column +
                                QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? ORDER BY ") + column,
                            {category}, items, true);
}

void ContractStore::storeColumnWidths(const QString &category, const QList<QPair<QString, int>> &widths) const {
    // One transaction for all of them: every commit is a disk sync.
    mDb.inTransaction([&] {
        QSqlQuery update(mDb.connection());
        for (const auto &[column, width] : widths) {
            // A failing update leaves the width shown but not stored.
            execBound(update, QStringLiteral("UPDATE TDataPara SET ColWidth=? WHERE MainTypeCode=? AND DataFieldA=?"),
                      {width, category, column});
        }
        return true;
    });
}

namespace {

QString updateStatement(const QStringList &columns) {
    QString sql = QStringLiteral("UPDATE TContractMain SET MainTypeCode=?");
    for (const QString &column : columns)
        sql += QLatin1Char(',') + column + QStringLiteral("=?");
    return sql + QStringLiteral(" WHERE ID=?");
}

QString insertStatement(const QStringList &columns) {
    QString sql = QStringLiteral("INSERT INTO TContractMain (MainTypeCode");
    QString marks = QStringLiteral("?");
    for (const QString &column : columns) {
        sql += QLatin1Char(',') + column;
        marks += QStringLiteral(",?");
    }
    return sql + QStringLiteral(") VALUES (") + marks + QLatin1Char(')');
}

} // namespace

bool ContractStore::update(qint64 id, const QString &category, const QStringList &columns, const QVariantList &values,
                           const ChangeHistory::Entry &history, QString *error) const {
    QVariantList binds{category};
    binds += values;
    binds.append(id);
    ChangeHistory::Entry entry = history;
    entry.recordId = id;
    return ChangeHistory::writeRecorded(mDb, ChangeHistory::Write::Update, updateStatement(columns), binds, entry,
                                        error)
        .has_value();
}

std::optional<qint64> ContractStore::insert(const QString &category, const QStringList &columns,
                                            const QVariantList &values, const ChangeHistory::Entry &history,
                                            QString *error) const {
    QVariantList binds{category};
    binds += values;
    return ChangeHistory::writeRecorded(mDb, ChangeHistory::Write::Insert, insertStatement(columns), binds, history,
                                        error);
}

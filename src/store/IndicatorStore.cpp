#include "store/IndicatorStore.h"

#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/SqlText.h"

#include <QSqlQuery>
#include <QSqlRecord>

QList<Indicator> IndicatorStore::ofCategory(const QString &category, bool *ok) const {
    QList<Indicator> list;
    QSqlQuery q(mDatabase.connection());
    q.setForwardOnly(true);
    const bool done =
        execBound(q, QStringLiteral("SELECT * FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx, ID"), {category});
    if (ok)
        *ok = done;
    while (done && q.next())
        list.append(Indicator::fromRecord(q.record()));
    return list;
}

std::optional<Indicator> IndicatorStore::find(int id, bool *ok) const {
    QSqlQuery q(mDatabase.connection());
    const bool done = execBound(q, QStringLiteral("SELECT * FROM TDataPara WHERE ID=?"), {id});
    if (ok)
        *ok = done;
    if (!done || !q.next())
        return std::nullopt;
    return Indicator::fromRecord(q.record());
}

int IndicatorStore::highestSortIndex(const QString &category) const {
    const QString highest =
        mDatabase.GetDataBySQL(QStringLiteral("SELECT Max(SortIdx) FROM TDataPara WHERE MainTypeCode=?"), {category});
    return highest.isEmpty() ? 0 : highest.toInt();
}

bool IndicatorStore::nameTaken(const QString &category, const QString &name, int exceptId) const {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("SELECT ID FROM TDataPara WHERE ID<>? AND MainTypeCode=? AND PropertyName=?"),
                     {exceptId, category, name}) &&
           q.next();
}

QStringList IndicatorStore::namesExcept(const QString &category, int exceptId) const {
    QStringList names;
    mDatabase.GetDataBySQLToItems(QStringLiteral("SELECT PropertyName FROM TDataPara WHERE MainTypeCode=? AND ID<>?"),
                                  {category, exceptId}, names, false);
    return names;
}

QStringList IndicatorStore::valueColumns(const QString &category) const {
    QStringList used;
    mDatabase.GetDataBySQLToItems(QStringLiteral("SELECT DataFieldA FROM TDataPara WHERE MainTypeCode=?"), {category},
                                  used, false);
    return used;
}

std::optional<int> IndicatorStore::holdersOfColumn(const QString &category, const QString &column, int exceptId) const {
    const QString owners = mDatabase.GetDataBySQL(
        QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=? AND DataFieldA=? AND ID<>?"),
        {category, column, exceptId});
    if (owners.isEmpty())
        return std::nullopt;
    return owners.toInt();
}

std::optional<qint64> IndicatorStore::insertNew(const Indicator &v) {
    return mDatabase.insertReturningId(
        QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,Unit,"
                       "DefaultSelect,HisSelect,CalcStr,SortIdx,NoNull,IsSortField,DataFieldA,DueRemind,DueDays) "
                       "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {v.MainTypeCode, v.PropertyName, v.PropertyType, v.FormatStr, v.Unit, v.DefaultSelect, v.HisSelect, v.CalcStr,
         v.SortIdx, v.NoNull, v.IsSortField, v.DataFieldA, v.DueRemind, v.DueDays});
}

std::optional<qint64> IndicatorStore::insertCopy(const Indicator &copy) {
    return mDatabase.insertReturningId(
        QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,"
                       "Unit,DefaultSelect,HisSelect,CalcStr,SortIdx,NoNull,ColWidth,IsSortField,"
                       "DataFieldA,DueRemind,DueDays) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {copy.MainTypeCode, copy.PropertyName, copy.PropertyType, copy.FormatStr, copy.Unit, copy.DefaultSelect,
         copy.HisSelect, copy.CalcStr, copy.SortIdx, copy.NoNull, copy.ColWidth, copy.IsSortField, copy.DataFieldA,
         copy.DueRemind, copy.DueDays});
}

bool IndicatorStore::update(const Indicator &v) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q,
                     QStringLiteral("UPDATE TDataPara SET MainTypeCode=?,PropertyName=?,PropertyType=?,FormatStr=?,"
                                    "Unit=?,DefaultSelect=?,HisSelect=?,CalcStr=?,SortIdx=?,NoNull=?,"
                                    "IsSortField=?,DataFieldA=?,DueRemind=?,DueDays=? WHERE ID=?"),
                     {v.MainTypeCode, v.PropertyName, v.PropertyType, v.FormatStr, v.Unit, v.DefaultSelect, v.HisSelect,
                      v.CalcStr, v.SortIdx, v.NoNull, v.IsSortField, v.DataFieldA, v.DueRemind, v.DueDays, v.ID}) &&
           q.numRowsAffected() == 1;
}

bool IndicatorStore::rename(const QString &category, const QString &from, const QString &to) {
    QSqlQuery q(mDatabase.connection());
    return execBound(
        q, QStringLiteral("UPDATE TDataPara SET PropertyName = ? WHERE MainTypeCode = ? AND PropertyName = ?"),
        {to, category, from});
}

bool IndicatorStore::remove(int id) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("DELETE FROM TDataPara WHERE ID=?"), {id});
}

bool IndicatorStore::removeOfCategory(const QString &category) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("DELETE FROM TDataPara WHERE MainTypeCode=?"), {category});
}

bool IndicatorStore::shiftNeighbour(const QString &category, int sortIndex, int step) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("UPDATE TDataPara SET SortIdx=SortIdx-? WHERE SortIdx=? AND MainTypeCode=?"),
                     {step, sortIndex + step, category});
}

bool IndicatorStore::shiftIndicator(const QString &category, int id, int step) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("UPDATE TDataPara SET SortIdx=SortIdx+? WHERE ID=? AND MainTypeCode=?"),
                     {step, id, category});
}

std::optional<IndicatorStore::Holding> IndicatorStore::recordsWithValues(const QString &category,
                                                                         const QStringList &columns) const {
    QStringList checked;
    QStringList filled;
    QStringList anyFilled;
    for (const QString &column : columns) {
        if (!SqlText::isValueColumn(column) || checked.contains(column))
            continue;
        checked << column;
        filled << QStringLiteral("coalesce(") + column + QStringLiteral(",'')<>''");
        // A number rather than a truth value: the server has no max() over truth values.
        anyFilled << QStringLiteral("max(CASE WHEN ") + filled.last() + QStringLiteral(" THEN 1 ELSE 0 END)");
    }
    if (checked.isEmpty())
        return Holding{};
    QSqlQuery q(mDatabase.connection());
    if (!execBound(q,
                   QStringLiteral("SELECT count(*),") + anyFilled.join(QLatin1Char(',')) +
                       QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? AND (") +
                       filled.join(QStringLiteral(" OR ")) + QLatin1Char(')'),
                   {category}) ||
        !q.next())
        return std::nullopt;
    Holding holding;
    holding.records = q.value(0).toInt();
    for (int i = 0; i < checked.size(); ++i)
        if (q.value(i + 1).toInt() != 0)
            holding.columns << checked.at(i);
    return holding;
}

bool IndicatorStore::clearColumns(const QString &category, const QStringList &columns,
                                  const QHash<QString, QString> &names) {
    QStringList sets;
    QStringList cleared;
    QStringList filled;
    for (const QString &column : columns) {
        if (SqlText::isValueColumn(column) && !cleared.contains(column)) {
            cleared << column;
            sets << column + QStringLiteral("=''");
            filled << QStringLiteral("coalesce(") + column + QStringLiteral(",'')<>''");
        }
    }
    if (sets.isEmpty())
        return true;
    QSqlQuery q(mDatabase.connection());
    q.setForwardOnly(true);
    if (!execBound(q,
                   QStringLiteral("SELECT ID,") + cleared.join(QLatin1Char(',')) +
                       QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? AND (") +
                       filled.join(QStringLiteral(" OR ")) + QStringLiteral(") ORDER BY ID"),
                   {category}))
        return false;
    QList<ChangeHistory::Entry> losses;
    while (q.next()) {
        ChangeHistory::Entry entry{q.value(0).toLongLong(), category, ChangeHistory::Cleared, {}, {}, {}};
        for (qsizetype i = 0; i < cleared.size(); ++i) {
            const QString value = q.value(int(i) + 1).toString();
            if (!value.isEmpty())
                entry.changes.append({names.value(cleared.at(i), cleared.at(i)), value, QString()});
        }
        losses.append(entry);
    }
    for (const ChangeHistory::Entry &entry : std::as_const(losses)) {
        if (!ChangeHistory::record(mDatabase.connection(), entry))
            return false;
    }
    return execBound(q,
                     QStringLiteral("UPDATE TContractMain SET ") + sets.join(QLatin1Char(',')) +
                         QStringLiteral(" WHERE MainTypeCode=?"),
                     {category});
}

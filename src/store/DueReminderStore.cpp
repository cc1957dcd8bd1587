#include "store/DueReminderStore.h"

#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}
} // namespace

DueReminderStore::DueReminderStore(Database &database)
    : mDb(database) {}

std::optional<QHash<QString, QString>> DueReminderStore::categoryNames(QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT TypeCode, TypeName FROM TContractClass"))) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    QHash<QString, QString> names;
    while (q.next())
        names.insert(q.value(0).toString(), q.value(1).toString());
    return names;
}

bool DueReminderStore::eachIndicator(const std::function<void(const QSqlRecord &)> &onRow, QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT * FROM TDataPara ORDER BY MainTypeCode, SortIdx, ID")))
        return fail(error, q.lastError().text());
    while (q.next())
        onRow(q.record());
    return true;
}

std::optional<QSet<QString>> DueReminderStore::doneMarks(QString *error) const {
    QSqlQuery q(mDb.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ContractID, ParaID, DueDate FROM TDueDone"))) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    QSet<QString> done;
    while (q.next())
        done.insert(q.value(0).toString() + u'|' + q.value(1).toString() + u'|' + q.value(2).toString());
    return done;
}

bool DueReminderStore::readDates(const QString &category, const QStringList &columns, const RowSink &onRow,
                                 QString *error) const {
    QStringList selected;
    for (const QString &name : columns)
        selected << (name.isEmpty() ? QStringLiteral("''") : name);
    return mDb.bulkRead(QStringLiteral("SELECT ID,") + selected.join(QLatin1Char(',')) +
                            QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? ORDER BY ID"),
                        {category}, int(selected.size()) + 1, onRow, error);
}

bool DueReminderStore::markDone(qint64 contractId, int indicatorId, const QDate &date, const QDateTime &at,
                                QString *error) const {
    return mDb.inTransaction(
        [&] {
            QSqlQuery q(mDb.connection());
            const QVariantList key{contractId, indicatorId, date.toString(Qt::ISODate)};
            // Marked twice (by two users at once, or a second click) is still one mark; marks of deleted contracts
            // and indicators go, so that no number given again later finds an old mark.
            return execBound(q, QStringLiteral("DELETE FROM TDueDone WHERE ContractID=? AND ParaID=? AND DueDate=?"),
                             key, error) &&
                   execBound(q,
                             QStringLiteral("DELETE FROM TDueDone WHERE ContractID NOT IN (SELECT ID FROM "
                                            "TContractMain) OR ParaID NOT IN (SELECT ID FROM TDataPara)"),
                             {}, error) &&
                   execBound(q,
                             QStringLiteral("INSERT INTO TDueDone (ContractID, ParaID, DueDate, DoneAt) "
                                            "VALUES (?, ?, ?, ?)"),
                             key + QVariantList{at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}, error);
        },
        error);
}

bool DueReminderStore::unmarkDone(qint64 contractId, int indicatorId, const QDate &date, QString *error) const {
    QSqlQuery q(mDb.connection());
    return execBound(q, QStringLiteral("DELETE FROM TDueDone WHERE ContractID=? AND ParaID=? AND DueDate=?"),
                     {contractId, indicatorId, date.toString(Qt::ISODate)}, error);
}

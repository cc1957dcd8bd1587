#include "store/CategoryStore.h"

#include "store/Database.h"

#include <QSqlQuery>

namespace {
// A root's parent code is stored as the empty text, never as NULL (a null QString binds as NULL).
QString nonNull(const QString &text) {
    return text.isNull() ? QStringLiteral("") : text;
}
} // namespace

std::optional<QList<CategoryRecord>> CategoryStore::all(QString *error) const {
    QSqlQuery q(mDatabase.connection());
    q.setForwardOnly(true);
    if (!execBound(q,
                   QStringLiteral("SELECT TypeCode, ParTypeCode, TypeName, nLeveal FROM TContractClass "
                                  "ORDER BY TypeCode"),
                   {}, error))
        return std::nullopt;
    QList<CategoryRecord> rows;
    while (q.next())
        rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toInt()});
    return rows;
}

std::optional<QString> CategoryStore::highestCodeUnder(const QString &parentCode) const {
    QSqlQuery q(mDatabase.connection());
    if (!execBound(q,
                   QStringLiteral("SELECT TypeCode FROM TContractClass WHERE coalesce(ParTypeCode,'')=? "
                                  "ORDER BY length(TypeCode) DESC, TypeCode DESC LIMIT 1"),
                   {nonNull(parentCode)}))
        return std::nullopt;
    return q.next() ? q.value(0).toString() : QString();
}

bool CategoryStore::insert(const CategoryRecord &record) {
    QSqlQuery q(mDatabase.connection());
    return execBound(
        q, QStringLiteral("INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES (?,?,?,?)"),
        {record.TypeCode, record.TypeName, nonNull(record.ParTypeCode), record.nLeveal});
}

bool CategoryStore::rename(const QString &code, const QString &name) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("UPDATE TContractClass SET TypeName=? WHERE TypeCode=?"), {name, code});
}

bool CategoryStore::remove(const QString &code) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("DELETE FROM TContractClass WHERE TypeCode=?"), {code});
}

bool CategoryStore::lockForWrite(const QString &code) {
    QSqlQuery q(mDatabase.connection());
    return execBound(q, QStringLiteral("SELECT TypeCode FROM TContractClass WHERE TypeCode=?") + mDatabase.lockRows(),
                     {code});
}

bool CategoryStore::isGone(const QString &code) const {
    return mDatabase.GetDataBySQL(QStringLiteral("SELECT count(*) FROM TContractClass WHERE TypeCode=?"), {code}) ==
           QLatin1String("0");
}

#include "store/ParameterStore.h"

#include "store/Database.h"

#include <QSqlQuery>

std::optional<ParameterStore::PasswordRow> ParameterStore::passwordRow() const {
    QSqlQuery q(mDatabase.connection());
    if (!execBound(q, QStringLiteral("SELECT LogPass FROM TPara LIMIT 1"), {}))
        return std::nullopt;
    PasswordRow row;
    row.exists = q.next();
    if (row.exists)
        row.stored = q.value(0).toString();
    return row;
}

std::optional<QString> ParameterStore::password() const {
    const std::optional<PasswordRow> row = passwordRow();
    if (!row)
        return std::nullopt;
    return row->stored;
}

bool ParameterStore::setPassword(const QString &stored, bool rowExists) {
    QSqlQuery q(mDatabase.connection());
    return rowExists ? execBound(q, QStringLiteral("UPDATE TPara SET LogPass=?"), {stored})
                     : execBound(q, QStringLiteral("INSERT INTO TPara (LogPass) VALUES (?)"), {stored});
}

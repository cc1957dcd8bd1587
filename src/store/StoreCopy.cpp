#include "store/StoreCopy.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantList>

namespace {
bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}
} // namespace

namespace StoreCopy {

QStringList tables() {
    return {QStringLiteral("TContractClass"), QStringLiteral("TDataPara"),       QStringLiteral("TDataParaDetail"),
            QStringLiteral("TContractMain"),  QStringLiteral("TContractDetail"), QStringLiteral("TPara"),
            QStringLiteral("TDueDone"),       QStringLiteral("TChangeLog")};
}

bool copyRows(QSqlDatabase from, QSqlDatabase to, QString *error) {
    const QStringList present = from.tables(QSql::Tables);
    for (const QString &table : tables()) {
        // An archive of an earlier version lacks the tables added since: they stay empty, and the columns added
        // since keep their defaults, since only the columns the source has are written.
        if (!present.contains(table, Qt::CaseInsensitive))
            continue;
        QSqlQuery read(from);
        read.setForwardOnly(true);
        if (!read.exec(QStringLiteral("SELECT * FROM ") + table))
            return fail(error, read.lastError().text());
        const QSqlRecord columns = read.record();
        QStringList names;
        QStringList marks;
        for (int i = 0; i < columns.count(); ++i) {
            names << columns.fieldName(i);
            marks << QStringLiteral("?");
        }
        QSqlQuery write(to);
        if (!write.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
            return fail(error, write.lastError().text());
        while (read.next()) {
            for (int i = 0; i < columns.count(); ++i)
                write.bindValue(i, read.value(i));
            if (!write.exec())
                return fail(error, table + QStringLiteral(": ") + write.lastError().text());
        }
        if (read.lastError().isValid())
            return fail(error, read.lastError().text());
    }
    return true;
}

bool resetGenerators(QSqlDatabase db, QString *error) {
    if (db.driverName() != QLatin1String("QPSQL"))
        return true;
    QSqlQuery q(db);
    // The tables with a generated ID (the categories are keyed by their code, the done reminders by what they mark,
    // the parameter row by nothing).
    for (const QString &table : tables()) {
        if (table == QLatin1String("TPara") || table == QLatin1String("TContractClass") ||
            table == QLatin1String("TDueDone"))
            continue;
        const QString sql = QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), "
                                           "(SELECT COALESCE(MAX(ID), 0) + 1 FROM %1), false)")
                                .arg(table.toLower());
        if (!q.exec(sql))
            return fail(error, q.lastError().text());
    }
    return true;
}

} // namespace StoreCopy

#pragma once

#include "store/ChangeHistory.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

class Database;

// The statements on the contract records (TContractMain): the register's list, one record for the entry dialog,
// its insert and update, deleting and copying records, and the reads the numbering of new records needs. Value
// column names ("Data1" .. "Data80") go into statements as text: callers pass only names SqlText::isValueColumn
// accepts. Reads of a save or a copy run inside the caller's write transaction (Database::inWriteTransaction).
class ContractStore {
public:
    explicit ContractStore(Database &database);

    Database &database() const { return mDb; }

    // update() and insert() with the history row of the write (ChangeHistory::writeRecorded: the row's record ID is
    // the record written): on the server the row goes in the same statement, so a save pays no round trip for it.
    bool update(qint64 id, const QString &category, const QStringList &columns, const QVariantList &values,
                const ChangeHistory::Entry &history, QString *error = nullptr) const;
    std::optional<qint64> insert(const QString &category, const QStringList &columns, const QVariantList &values,
                                 const ChangeHistory::Entry &history, QString *error = nullptr) const;

    // The list of a category: ID and the given value columns, in the order of entry (ascending) when the caller
    // sorts the rows itself, newest first otherwise. Run with the category as its one bound value.
    static QString listStatement(const QStringList &columns, bool sortedByCaller);

    // Whether the category exists: nullopt when it cannot be read.
    std::optional<bool> categoryExists(const QString &category) const;
    // The same inside a write transaction, with the category's row locked on the server, so that every save of
    // the category lines up behind it and two saves never take one number.
    std::optional<bool> lockCategory(const QString &category, QString *error = nullptr) const;
    // The (name, value column) pairs of the category's indicators as they are now.
    std::optional<QSet<QPair<QString, QString>>> indicatorColumns(const QString &category,
                                                                  QString *error = nullptr) const;

    // One record of the category (every column); an empty optional inside when there is none. nullopt with the
    // reason when it cannot be read.
    std::optional<std::optional<QSqlRecord>> record(const QString &category, qint64 id, QString *error = nullptr) const;
    // One record by its ID, locked on the server against other writers until the transaction ends.
    std::optional<std::optional<QSqlRecord>> lockRecord(qint64 id, QString *error = nullptr) const;
    // One record by its ID, whatever its category: empty when it cannot be read or there is none.
    QSqlRecord recordById(qint64 id);
    // The records of the IDs, read a thousand at a time; a record that is gone or could not be read is missing.
    QHash<int, QSqlRecord> recordsById(const QList<int> &ids);

    // Writes the values into the columns of the record and sets its category.
    bool update(qint64 id, const QString &category, const QStringList &columns, const QVariantList &values,
                QString *error = nullptr) const;
    // A new record of the category with the values in the columns; its ID, or nullopt with the reason.
    std::optional<qint64> insert(const QString &category, const QStringList &columns, const QVariantList &values,
                                 QString *error = nullptr) const;
    // The statement that adds one record with the given columns from the values bound to `placeholders`
    // (":v0", ...). On the server it returns the new record's ID; on the embedded file the new records of an
    // import in one write transaction are those above the highest ID before it (highestId, idsAbove).
    QString importStatement(const QStringList &columns, const QStringList &placeholders) const;
    // The highest record ID, 0 without records; nullopt when it cannot be read.
    std::optional<qint64> highestId();
    // The IDs above `id`, ascending.
    QStringList idsAbove(qint64 id);
    // Deletes the record; false when it failed or there was no such record.
    bool remove(qint64 id) const;
    // A new record with every value of the source record, except the value columns in `replaced`, which take the
    // given values. The new record's ID; nullopt on failure.
    std::optional<qint64> copy(qint64 sourceId, const QHash<QString, QString> &replaced) const;

    // How many records of the category hold the value in the column; nullopt when it cannot be read.
    std::optional<qint64> countWithValue(const QString &category, const QString &column, const QString &value) const;
    // The stored values of the column in the category that start with the prefix, ignoring the case of Latin
    // letters (the caller checks the exact prefix); nullopt when they cannot be read.
    std::optional<QStringList> valuesStartingWith(const QString &category, const QString &column,
                                                  const QString &prefix) const;
    // Replaces items by the distinct non-empty values of the column in the category, sorted; the list stays as it
    // was when they cannot be read.
    void distinctValues(const QString &category, const QString &column, QStringList &items) const;

    // Stores the width the register shows the value column of the category with, one transaction for all of them.
    // A failing update leaves that width unstored.
    void storeColumnWidths(const QString &category, const QList<QPair<QString, int>> &widths) const;

private:
    Database &mDb;
};

#pragma once

#include "store/CategoryRecord.h"

#include <QList>
#include <QString>

#include <optional>

class Database;

// The contract categories (TContractClass): the two-level tree of roots and their child categories.
class CategoryStore {
public:
    explicit CategoryStore(Database &database)
        : mDatabase(database) {}

    // Every category in code order (a root before its children); nullopt with the reason when unreadable.
    std::optional<QList<CategoryRecord>> all(QString *error = nullptr) const;
    // The highest code under the parent ("" for the roots), the longest first so that a five-digit part written by
    // an older version does not hide behind "9999"; an empty text when the parent has none, nullopt on failure.
    std::optional<QString> highestCodeUnder(const QString &parentCode) const;

    bool insert(const CategoryRecord &record);
    bool rename(const QString &code, const QString &name);
    // The database refuses the statement while indicators or contract records still refer to the category.
    bool remove(const QString &code);

    // Inside a write transaction, before anything else: the lock a record's save of the category takes first, so
    // that a change of the category's indicators and a save never wait for each other's rows the other way round.
    bool lockForWrite(const QString &code);
    // True only when the table was read and holds no such category (another user deleted it).
    bool isGone(const QString &code) const;

private:
    Database &mDatabase;
};

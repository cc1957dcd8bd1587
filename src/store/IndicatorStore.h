#pragma once

#include "store/Indicator.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Database;

// The indicators of the categories (TDataPara), and what removing them does to the values the category's contract
// records hold in their value columns.
class IndicatorStore {
public:
    explicit IndicatorStore(Database &database)
        : mDatabase(database) {}

    // The category's indicators in SortIdx order (ID among equals); an empty list with *ok false on failure.
    QList<Indicator> ofCategory(const QString &category, bool *ok = nullptr) const;
    // The indicator with the ID; nullopt when it has no row. *ok is false when the table cannot be read.
    std::optional<Indicator> find(int id, bool *ok = nullptr) const;
    // The highest SortIdx of the category; 0 when it has none or it cannot be read.
    int highestSortIndex(const QString &category) const;
    // True when another indicator of the category (not `exceptId`) has the name; false also when unreadable.
    bool nameTaken(const QString &category, const QString &name, int exceptId) const;
    // The names of the category's indicators other than `exceptId`.
    QStringList namesExcept(const QString &category, int exceptId) const;
    // The value columns the category's indicators hold.
    QStringList valueColumns(const QString &category) const;
    // How many other indicators of the category (not `exceptId`) hold the value column; nullopt when unreadable.
    std::optional<int> holdersOfColumn(const QString &category, const QString &column, int exceptId) const;

    // A new indicator from the editor, with the given SortIdx and value column (its ColWidth is the table's
    // default); its ID, nullopt on failure.
    std::optional<qint64> insertNew(const Indicator &indicator);
    // A copy of an indicator of another category, every field as it is (ColWidth included); its ID.
    std::optional<qint64> insertCopy(const Indicator &indicator);
    // Writes the indicator's fields to its row; false also when the row is gone.
    bool update(const Indicator &indicator);
    // Gives the category's indicator of the name another name; false when the statement fails.
    bool rename(const QString &category, const QString &from, const QString &to);
    bool remove(int id);
    bool removeOfCategory(const QString &category);
    // Exchanges the place of the indicator with the one `step` places away (over a gap only the indicator
    // moves): two statements, each reported on its own.
    bool shiftNeighbour(const QString &category, int sortIndex, int step);
    bool shiftIndicator(const QString &category, int id, int step);

    // The contract records of the category that hold a value in some of the given value columns: how many, and
    // which of the columns hold any value.
    struct Holding {
        int records = 0;
        QStringList columns;
    };
    // nullopt when the records cannot be read. Only value column names reach the statement.
    std::optional<Holding> recordsWithValues(const QString &category, const QStringList &columns) const;
    // Empties the value columns in every contract record of the category. Each record that loses a value gets a
    // history row with the values it lost, under the name of the indicator that held them (`names` by column;
    // the column itself when none did). Call it inside the write's transaction.
    bool clearColumns(const QString &category, const QStringList &columns, const QHash<QString, QString> &names);

private:
    Database &mDatabase;
};

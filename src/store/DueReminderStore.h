#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Database;

// The statements of the due reminders: the categories' names, every indicator row, the dates of one category's
// records, and the marks "已处理" (TDueDone: contract, indicator, date). Value column names go into the statements
// as text: callers pass only "Data1" .. "Data80".
class DueReminderStore {
public:
    explicit DueReminderStore(Database &database);

    Database &database() const { return mDb; }

    // Every category's name by its code; nullopt with the reason when they cannot be read.
    std::optional<QHash<QString, QString>> categoryNames(QString *error = nullptr) const;
    // Hands every indicator row (all columns) to onRow, by category and in each category's order.
    bool eachIndicator(const std::function<void(const QSqlRecord &)> &onRow, QString *error = nullptr) const;
    // The marks as "contract|indicator|date" (the date as stored, yyyy-MM-dd).
    std::optional<QSet<QString>> doneMarks(QString *error = nullptr) const;
    // ID and the given columns (an empty name reads as an empty text) of every record of the category, in ID
    // order, handed over as Database::bulkRead hands them.
    using RowSink = std::function<void(const char *const *texts, const int *sizes)>;
    bool readDates(const QString &category, const QStringList &columns, const RowSink &onRow,
                   QString *error = nullptr) const;

    // Marks the date of the contract's indicator done at `at`. Marked twice is still one mark; the marks of
    // deleted contracts and indicators go at the same time.
    bool markDone(qint64 contractId, int indicatorId, const QDate &date, const QDateTime &at,
                  QString *error = nullptr) const;
    bool unmarkDone(qint64 contractId, int indicatorId, const QDate &date, QString *error = nullptr) const;

private:
    Database &mDb;
};

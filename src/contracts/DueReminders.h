#pragma once

#include "store/DueReminderStore.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

// One contract's date that reminds: a date indicator marked "到期提醒" and its value in one contract record.
struct DueReminder {
    qint64 contractId = 0;
    QString categoryCode;
    QString categoryName;
    // The value of the category's numbering indicator, or the record's ID when it has none or it is empty.
    QString contractNumber;
    int indicatorId = 0;
    QString indicatorName;
    // As stored, in the indicator's format.
    QString dateText;
    // Invalid when the stored text cannot be read as a date.
    QDate date;
    // Negative once the date has passed.
    int daysLeft = 0;
    // "name：value" of the category's first two text indicators (the numbering one left out), to tell the
    // contract at a glance; empty when the category has fewer.
    QString firstText;
    QString secondText;
    // Marked "已处理" for this very date.
    bool done = false;
};

// Which contracts' marked dates lie between 30 days ago and their indicator's days ahead, over every category;
// and the stored values of marked dates that cannot be read as dates, so that none is passed over silently.
// Dates are stored as text in each indicator's own format and are read in it.
class DueReminders {
public:
    // How long a passed date keeps reminding.
    static constexpr int DaysPast = 30;
    static constexpr int MaxDaysAhead = 365;

    explicit DueReminders(Database &database);

    struct Options {
        // Days ahead for every marked indicator instead of each one's own; negative: each one's own.
        int daysAhead = -1;
        // Also the reminders marked "已处理".
        bool includeDone = false;
    };

    // Reads the reminders due on `today`. Returns false with the reason when the database cannot be read.
    bool load(const QDate &today, const Options &options, QString *error = nullptr);
    bool load(const QDate &today, QString *error = nullptr) { return load(today, Options(), error); }

    // Due reminders sorted by date (then category and contract number).
    const QList<DueReminder> &due() const { return mDue; }
    // Marked dates whose stored value is no date, one per contract and indicator, in category and ID order.
    const QList<DueReminder> &unreadable() const { return mUnreadable; }
    // How many contracts have at least one due reminder not marked done.
    int contractsDue() const;

    // Marks the reminder done for its contract, indicator and date; a later change of the date reminds again.
    bool markDone(const DueReminder &reminder, const QDateTime &at, QString *error = nullptr);
    // Takes the mark off again.
    bool unmarkDone(const DueReminder &reminder, QString *error = nullptr);

    Database &database() const { return mStore.database(); }

    // Reads a stored value with a date indicator's format (empty: the short date the entry dialog writes then);
    // an invalid date when it is none.
    static QDate readDate(const QString &text, const QString &format);

private:
    struct CategoryPlan;
    // Per category with marked date indicators: its numbering column, its first two text indicators and the
    // marked ones.
    bool readPlans(const Options &options, std::vector<CategoryPlan> &plans, QString *error);
    // Reads the marked dates of one category's records into the due and unreadable ones.
    bool readCategory(const CategoryPlan &plan, const QDate &today, const Options &options, const QSet<QString> &done,
                      QString *error);
    void sortByDate();

    DueReminderStore mStore;
    QList<DueReminder> mDue;
    QList<DueReminder> mUnreadable;
};

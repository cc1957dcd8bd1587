#pragma once

#include "contracts/DueReminders.h"

#include <QAbstractTableModel>

// The rows of the reminder window: the due reminders, or the dates that cannot be read.
class DueReminderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Due, Unreadable };
    enum Column { Category, Number, IndicatorName, Date, DaysLeft, FirstText, SecondText, State };

    explicit DueReminderModel(Kind kind, QObject *parent = nullptr);

    void setReminders(const QList<DueReminder> &reminders);
    const DueReminder &reminder(int row) const { return mRows.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Kind mKind;
    QList<DueReminder> mRows;
};

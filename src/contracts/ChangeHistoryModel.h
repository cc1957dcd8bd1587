#pragma once

#include "store/ChangeHistory.h"

#include <QAbstractTableModel>
#include <QString>

// The rows of the history ("修改记录") as a table: one line per write, newest first.
class ChangeHistoryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        ColTime,
        ColCategory,
        ColRecord,
        ColAction,
        ColChanges,
        ColOsUser,
        ColDbUser,
        ColDocument,
        ColDigest,
        ColSource,
        ColumnCount
    };

    explicit ChangeHistoryModel(Database &database, QObject *parent = nullptr);

    Database &database() const { return mDb; }

    // Reads the rows that pass the filter; false with the reason when they cannot be read (the rows stay).
    bool load(const ChangeHistory::Filter &filter, QString *error = nullptr);
    const QList<ChangeHistory::Row> &rows() const { return mRows; }
    // The child categories (code, name) to filter by, in code order.
    QList<QPair<QString, QString>> categories() const;
    // The text a cell shows.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(mRows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Database &mDb;
    QList<ChangeHistory::Row> mRows;
};

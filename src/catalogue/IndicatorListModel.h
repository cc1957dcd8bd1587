#pragma once

#include "store/Indicator.h"

#include <QAbstractTableModel>
#include <QList>

// The indicator list of the template window: one row per indicator, read-only, with the catalogue's display
// texts for the type and the flags. The ID travels with each row without a column of its own.
class IndicatorListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        SortIdx,
        PropertyName,
        PropertyType,
        FormatStr,
        Unit,
        DefaultSelect,
        HisSelect,
        CalcStr,
        NoNull,
        IsSortField,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setIndicators(const QList<Indicator> &indicators);
    const QList<Indicator> &indicators() const { return mIndicators; }
    const Indicator &at(int row) const { return mIndicators.at(row); }
    int rowOfId(int id) const;
    void removeIndicatorAt(int row);

private:
    QList<Indicator> mIndicators;
};

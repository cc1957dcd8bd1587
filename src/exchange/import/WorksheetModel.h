#pragma once

#include "exchange/workbook/Worksheet.h"

#include <QAbstractTableModel>

// The rows of the chosen worksheet for the read-only grid of the import dialog.
class WorksheetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setWorksheet(const Worksheet &sheet);
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Worksheet mSheet;
};

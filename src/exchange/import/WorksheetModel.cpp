#include "exchange/import/WorksheetModel.h"

void WorksheetModel::setWorksheet(const Worksheet &sheet) {
    beginResetModel();
    mSheet = sheet;
    endResetModel();
}

void WorksheetModel::clear() {
    setWorksheet(Worksheet());
}

int WorksheetModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mSheet.rows.size());
}

int WorksheetModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mSheet.columns.size());
}

QVariant WorksheetModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= mSheet.rows.size())
        return {};
    const QStringList &row = mSheet.rows.at(index.row());
    return index.column() < row.size() ? row.at(index.column()) : QString();
}

QVariant WorksheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < mSheet.columns.size() ? QVariant(mSheet.columns.at(section)) : QVariant();
    return section >= 0 && section < mSheet.rowNumbers.size() ? QVariant(mSheet.rowNumbers.at(section))
                                                              : QVariant(section + 1);
}

#include "exchange/import/ImportMappingModel.h"

#include "store/Indicator.h"

void ImportMappingModel::setIndicators(const QList<Indicator> &indicators) {
    beginResetModel();
    mRows.clear();
    for (const Indicator &indicator : indicators) {
        // Types outside 0 to 2 leave the type cell empty.
        const QString typeText = indicator.PropertyType >= Indicator::Text && indicator.PropertyType <= Indicator::Date
                                     ? Indicator::entryTypeText(indicator.PropertyType)
                                     : QString();
        mRows.append({indicator.PropertyName, indicator.DataFieldA, typeText, QString(), indicator.PropertyType,
                      indicator.FormatStr});
    }
    endResetModel();
}

void ImportMappingModel::setExcelColumn(int row, const QString &column) {
    if (row < 0 || row >= mRows.size())
        return;
    mRows[row].excelColumn = column;
    Q_EMIT dataChanged(index(row, ExcelColumn), index(row, ExcelColumn));
}

void ImportMappingModel::clearExcelColumns() {
    for (Row &row : mRows)
        row.excelColumn.clear();
    if (!mRows.isEmpty())
        Q_EMIT dataChanged(index(0, ExcelColumn), index(int(mRows.size()) - 1, ExcelColumn));
}

int ImportMappingModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mRows.size());
}

int ImportMappingModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 6;
}

QVariant ImportMappingModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= mRows.size())
        return {};
    const Row &row = mRows.at(index.row());
    switch (index.column()) {
    case PropertyName:
        return row.propertyName;
    case DataField:
        return row.dataField;
    case TypeText:
        return row.typeText;
    case ExcelColumn:
        return row.excelColumn;
    default:
        return QString();
    }
}

QVariant ImportMappingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList headers = {QStringLiteral("指标名称"), QStringLiteral("字段名称"),
                                        QStringLiteral("指标类型"), QStringLiteral("唯一性关键字段"),
                                        QStringLiteral("必填字段"), QStringLiteral("对应Excel列")};
    return section >= 0 && section < headers.size() ? QVariant(headers.at(section)) : QVariant();
}

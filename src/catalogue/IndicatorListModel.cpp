#include "catalogue/IndicatorListModel.h"

int IndicatorListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mIndicators.size());
}

int IndicatorListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IndicatorListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= mIndicators.size())
        return {};
    const Indicator &i = mIndicators.at(index.row());
    if (role == Qt::UserRole)
        return i.ID;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case SortIdx:
        return i.SortIdx;
    case PropertyName:
        return i.PropertyName;
    case PropertyType:
        return Indicator::catalogueTypeText(i.PropertyType);
    case FormatStr:
        return i.FormatStr;
    case Unit:
        return i.Unit;
    case DefaultSelect:
        return i.DefaultSelect;
    case HisSelect:
        return Indicator::hisSelectText(i.HisSelect);
    case CalcStr:
        return i.CalcStr;
    case NoNull:
        return Indicator::noNullText(i.NoNull);
    case IsSortField:
        return Indicator::sortFieldText(i.IsSortField);
    default:
        return {};
    }
}

QVariant IndicatorListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SortIdx:
        return QStringLiteral("序号");
    case PropertyName:
        return QStringLiteral("指标名称");
    case PropertyType:
        return QStringLiteral("指标类型");
    case FormatStr:
        return QStringLiteral("格式");
    case Unit:
        return QStringLiteral("单位");
    case DefaultSelect:
        return QStringLiteral("默认选择参数");
    case HisSelect:
        return QStringLiteral("可从历史数据选择");
    case CalcStr:
        return QStringLiteral("计算公式");
    case NoNull:
        return QStringLiteral("是否必须填写");
    case IsSortField:
        return QStringLiteral("排序字段");
    default:
        return {};
    }
}

void IndicatorListModel::setIndicators(const QList<Indicator> &indicators) {
    beginResetModel();
    mIndicators = indicators;
    endResetModel();
}

int IndicatorListModel::rowOfId(int id) const {
    for (int r = 0; r < mIndicators.size(); ++r)
        if (mIndicators.at(r).ID == id)
            return r;
    return -1;
}

void IndicatorListModel::removeIndicatorAt(int row) {
    if (row < 0 || row >= mIndicators.size())
        return;
    beginRemoveRows({}, row, row);
    mIndicators.removeAt(row);
    endRemoveRows();
}

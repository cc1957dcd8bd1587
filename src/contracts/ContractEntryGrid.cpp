#include "contracts/ContractEntryGrid.h"

ContractEntryGrid::ContractEntryGrid(QObject *parent)
    : QAbstractTableModel(parent) {}

void ContractEntryGrid::load(const QList<Indicator> &indicators, const QSqlRecord *record) {
    QList<std::array<QString, ColumnCount>> rows;
    rows.reserve(indicators.size());
    for (const Indicator &i : indicators) {
        std::array<QString, ColumnCount> r;
        r[ColName] = i.PropertyName;
        // Only the three known types have a text; any other stored value leaves the row without an editor.
        if (i.PropertyType >= Indicator::Text && i.PropertyType <= Indicator::Date)
            r[ColType] = Indicator::entryTypeText(i.PropertyType);
        if (record && !i.DataFieldA.isEmpty() && record->indexOf(i.DataFieldA) >= 0)
            r[ColValue] = record->value(i.DataFieldA).toString();
        r[ColFormat] = i.FormatStr;
        r[ColUnit] = i.Unit;
        r[ColDefaultSelect] = i.DefaultSelect;
        r[ColHisSelect] = QString::number(i.HisSelect);
        r[ColCalcStr] = i.CalcStr;
        r[ColNoNull] = QString::number(i.NoNull);
        r[ColDataField] = i.DataFieldA;
        rows.append(r);
    }
    setRows(rows);
}

void ContractEntryGrid::setRows(const QList<std::array<QString, ColumnCount>> &rows) {
    beginResetModel();
    mRows = rows;
    endResetModel();
}

QString ContractEntryGrid::cell(int row, int column) const {
    if (row < 0 || row >= mRows.size() || column < 0 || column >= ColumnCount)
        return {};
    return mRows.at(row).at(column);
}

void ContractEntryGrid::setCell(int row, int column, const QString &text) {
    if (row < 0 || row >= mRows.size() || column < 0 || column >= ColumnCount)
        return;
    mRows[row][column] = text;
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole});
}

int ContractEntryGrid::rowOf(const QString &name) const {
    for (int r = 0; r < mRows.size(); ++r) {
        if (mRows.at(r).at(ColName) == name)
            return r;
    }
    return -1;
}

int ContractEntryGrid::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mRows.size());
}

int ContractEntryGrid::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ContractEntryGrid::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= mRows.size())
        return {};
    if (role == Qt::DisplayRole)
        return mRows.at(index.row()).at(index.column());
    return {};
}

QVariant ContractEntryGrid::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return section <= ColValue ? QVariant(Qt::AlignCenter) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColName:
        return QStringLiteral("指标名称");
    case ColType:
        return QStringLiteral("指标类型");
    case ColValue:
        return QStringLiteral("指标数值");
    case ColUnit:
        return QStringLiteral("单位");
    default:
        return QString();
    }
}

Qt::ItemFlags ContractEntryGrid::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool ContractEntryGrid::isShownColumn(int column) {
    return column == ColName || column == ColType || column == ColValue || column == ColUnit;
}

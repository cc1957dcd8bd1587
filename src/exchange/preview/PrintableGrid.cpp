#include "exchange/preview/PrintableGrid.h"

namespace {

void resizeRows(QList<QStringList> &rows, int rowCount, int columnCount) {
    rows.resize(std::max(rowCount, 0));
    for (QStringList &row : rows)
        row.resize(columnCount);
}

} // namespace

PrintableGrid::PrintableGrid(QObject *parent)
    : QObject(parent) {}

void PrintableGrid::setPColCount(int value) {
    value = std::max(value, 0);
    mWidths.resize(value, 64);
    mAligns.resize(value, AlignLeft);
    resizeRows(mTitles, pHeaderRowCount(), value);
    resizeRows(mCells, pDataRowCount(), value);
}

void PrintableGrid::setPHeaderRowCount(int value) {
    resizeRows(mTitles, value, pColCount());
}

void PrintableGrid::setPDataRowCount(int value) {
    resizeRows(mCells, value, pColCount());
}

void PrintableGrid::setPActive(bool value) {
    if (mActive == value)
        return;
    mActive = value;
    Q_EMIT activeChanged(value);
}

void PrintableGrid::SetColWidth(int column, int width) {
    if (column >= 0 && column < pColCount())
        mWidths[column] = std::max(width, 0);
}

void PrintableGrid::SetColAlign(int column, int alignment) {
    if (column >= 0 && column < pColCount())
        mAligns[column] = alignment;
}

void PrintableGrid::SetTitleText(int column, int headerRow, const QString &text) {
    if (column >= 0 && column < pColCount() && headerRow >= 0 && headerRow < pHeaderRowCount())
        mTitles[headerRow][column] = text;
}

void PrintableGrid::SetCellText(int column, int dataRow, const QString &text) {
    if (column >= 0 && column < pColCount() && dataRow >= 0 && dataRow < pDataRowCount())
        mCells[dataRow][column] = text;
}

int PrintableGrid::colWidth(int column) const {
    return column >= 0 && column < pColCount() ? mWidths.at(column) : 0;
}

int PrintableGrid::colAlign(int column) const {
    return column >= 0 && column < pColCount() ? mAligns.at(column) : AlignLeft;
}

QString PrintableGrid::titleText(int column, int headerRow) const {
    if (column < 0 || column >= pColCount() || headerRow < 0 || headerRow >= pHeaderRowCount())
        return {};
    return mTitles.at(headerRow).at(column);
}

QString PrintableGrid::cellText(int column, int dataRow) const {
    if (column < 0 || column >= pColCount() || dataRow < 0 || dataRow >= pDataRowCount())
        return {};
    return mCells.at(dataRow).at(column);
}

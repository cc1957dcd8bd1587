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

void PrintableGrid::setColumnCount(int value) {
    value = std::max(value, 0);
    mWidths.resize(value, 64);
    mAligns.resize(value, AlignLeft);
    resizeRows(mTitles, headerRowCount(), value);
    resizeRows(mCells, dataRowCount(), value);
}

void PrintableGrid::setHeaderRowCount(int value) {
    resizeRows(mTitles, value, columnCount());
}

void PrintableGrid::setDataRowCount(int value) {
    resizeRows(mCells, value, columnCount());
}

void PrintableGrid::setActive(bool value) {
    if (mActive == value)
        return;
    mActive = value;
    Q_EMIT activeChanged(value);
}

void PrintableGrid::setColumnWidth(int column, int width) {
    if (column >= 0 && column < columnCount())
        mWidths[column] = std::max(width, 0);
}

void PrintableGrid::setColumnAlignment(int column, int alignment) {
    if (column >= 0 && column < columnCount())
        mAligns[column] = alignment;
}

void PrintableGrid::setTitleText(int column, int headerRow, const QString &text) {
    if (column >= 0 && column < columnCount() && headerRow >= 0 && headerRow < headerRowCount())
        mTitles[headerRow][column] = text;
}

void PrintableGrid::setCellText(int column, int dataRow, const QString &text) {
    if (column >= 0 && column < columnCount() && dataRow >= 0 && dataRow < dataRowCount())
        mCells[dataRow][column] = text;
}

int PrintableGrid::colWidth(int column) const {
    return column >= 0 && column < columnCount() ? mWidths.at(column) : 0;
}

int PrintableGrid::colAlign(int column) const {
    return column >= 0 && column < columnCount() ? mAligns.at(column) : AlignLeft;
}

QString PrintableGrid::titleText(int column, int headerRow) const {
    if (column < 0 || column >= columnCount() || headerRow < 0 || headerRow >= headerRowCount())
        return {};
    return mTitles.at(headerRow).at(column);
}

QString PrintableGrid::cellText(int column, int dataRow) const {
    if (column < 0 || column >= columnCount() || dataRow < 0 || dataRow >= dataRowCount())
        return {};
    return mCells.at(dataRow).at(column);
}

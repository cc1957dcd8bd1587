#include "exchange/preview/TSkellarView.h"

namespace {

void resizeRows(QList<QStringList> &rows, int rowCount, int columnCount) {
    rows.resize(std::max(rowCount, 0));
    for (QStringList &row : rows)
        row.resize(columnCount);
}

} // namespace

TSkellarView::TSkellarView(QObject *parent)
    : QObject(parent) {}

void TSkellarView::setPColCount(int value) {
    value = std::max(value, 0);
    mWidths.resize(value, 64);
    mAligns.resize(value, AlignLeft);
    resizeRows(mTitles, pHeaderRowCount(), value);
    resizeRows(mCells, pDataRowCount(), value);
}

void TSkellarView::setPHeaderRowCount(int value) {
    resizeRows(mTitles, value, pColCount());
}

void TSkellarView::setPDataRowCount(int value) {
    resizeRows(mCells, value, pColCount());
}

void TSkellarView::setPActive(bool value) {
    if (mActive == value)
        return;
    mActive = value;
    Q_EMIT activeChanged(value);
}

void TSkellarView::SetColWidth(int column, int width) {
    if (column >= 0 && column < pColCount())
        mWidths[column] = std::max(width, 0);
}

void TSkellarView::SetColAlign(int column, int alignment) {
    if (column >= 0 && column < pColCount())
        mAligns[column] = alignment;
}

void TSkellarView::SetTitleText(int column, int headerRow, const QString &text) {
    if (column >= 0 && column < pColCount() && headerRow >= 0 && headerRow < pHeaderRowCount())
        mTitles[headerRow][column] = text;
}

void TSkellarView::SetCellText(int column, int dataRow, const QString &text) {
    if (column >= 0 && column < pColCount() && dataRow >= 0 && dataRow < pDataRowCount())
        mCells[dataRow][column] = text;
}

int TSkellarView::colWidth(int column) const {
    return column >= 0 && column < pColCount() ? mWidths.at(column) : 0;
}

int TSkellarView::colAlign(int column) const {
    return column >= 0 && column < pColCount() ? mAligns.at(column) : AlignLeft;
}

QString TSkellarView::titleText(int column, int headerRow) const {
    if (column < 0 || column >= pColCount() || headerRow < 0 || headerRow >= pHeaderRowCount())
        return {};
    return mTitles.at(headerRow).at(column);
}

QString TSkellarView::cellText(int column, int dataRow) const {
    if (column < 0 || column >= pColCount() || dataRow < 0 || dataRow >= pDataRowCount())
        return {};
    return mCells.at(dataRow).at(column);
}

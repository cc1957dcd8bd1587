#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

class TSkellarView;

// One header cell as drawn: equal texts of neighbouring header cells become one cell, across columns (within the
// same cell of the row above) and down the rows of one column group. Columns are positions among the drawn ones.
struct HeaderCell {
    int firstColumn = 0;
    int lastColumn = 0;
    int firstRow = 0;
    int lastRow = 0;
    QString text;

    bool operator==(const HeaderCell &) const = default;
};

// Where everything of the printable table goes, in the grid's pixels (1/96 inch): which columns are drawn
// (width 0 leaves a column out), the merged header cells, how many data rows fit a page and how many pages
// there are. The caption and the header rows repeat on every page; a table wider than the page is scaled down.
class TableLayout {
public:
    TableLayout(const TSkellarView &view, const QSizeF &pageSize);

    static QList<HeaderCell> mergeHeader(const QList<QStringList> &titles);
    static QString pageNumberText(int page, int pageCount);

    const QList<int> &columns() const { return mColumns; }
    double columnLeft(int position) const { return mLefts.at(position); }
    double columnWidth(int position) const { return mLefts.at(position + 1) - mLefts.at(position); }
    double tableWidth() const { return mLefts.isEmpty() ? 0 : mLefts.last(); }
    const QList<HeaderCell> &headerCells() const { return mHeaderCells; }

    // Factor from the table's units to the page's (at most 1).
    double scale() const { return mScale; }
    // Page size in the table's units (the page divided by the scale).
    QSizeF pageSize() const { return mPageSize; }
    double rowHeight() const { return mRowHeight; }
    double captionHeight() const { return mCaptionHeight; }
    double headerHeight() const { return mHeaderRows * mRowHeight; }
    double footerHeight() const { return mRowHeight * 1.5; }

    int rowsPerPage() const { return mRowsPerPage; }
    int pageCount() const { return mPageCount; }
    // Data rows of a page (from 0): the first one and how many.
    int firstRow(int page) const { return page * mRowsPerPage; }
    int rowCount(int page) const;

private:
    QList<int> mColumns;
    QList<double> mLefts;
    QList<HeaderCell> mHeaderCells;
    double mScale = 1;
    QSizeF mPageSize;
    double mRowHeight = 16;
    double mCaptionHeight = 0;
    int mHeaderRows = 1;
    int mDataRows = 0;
    int mRowsPerPage = 1;
    int mPageCount = 1;
};

#pragma once

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <algorithm>

class PrintableGrid;

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
// there are. The caption and the header rows repeat on every page.
//
// A table a little wider than the page is scaled down, but never so far that its text would fall below
// MinTextHeight. Beyond that the columns keep their widths and the table is cut across into bands of whole
// columns that each fit the page; the first column (the key that tells the rows apart) is repeated at the left of
// every band. Pages run across the bands of one block of rows, then on to the next block.
class TableLayout {
public:
    // Smallest printed text height, in the table's units at scale 1 (8 px = 6 pt).
    static constexpr double MinTextHeight = 8.0;
    // Text height of the cells for a row height.
    static double textHeight(double rowHeight) { return std::max(6.0, rowHeight - 6); }

    TableLayout(const PrintableGrid &view, const QSizeF &pageSize);

    static QList<HeaderCell> mergeHeader(const QList<QStringList> &titles);
    static QString pageNumberText(int page, int pageCount);

    // The whole table: every drawn column side by side.
    const QList<int> &columns() const { return mColumns; }
    double columnLeft(int position) const { return mLefts.at(position); }
    double columnWidth(int position) const { return mLefts.at(position + 1) - mLefts.at(position); }
    double tableWidth() const { return mLefts.isEmpty() ? 0 : mLefts.last(); }
    const QList<HeaderCell> &headerCells() const { return mHeaderCells; }

    // The columns printed on one page: grid column indexes, and positions among them for the rest.
    int bandCount() const { return int(mBands.size()); }
    int band(int page) const { return page % bandCount(); }
    const QList<int> &pageColumns(int page) const { return mBands.at(band(page)).columns; }
    double pageColumnLeft(int page, int position) const { return mBands.at(band(page)).lefts.at(position); }
    double pageColumnWidth(int page, int position) const;
    double pageTableWidth(int page) const { return mBands.at(band(page)).lefts.last(); }
    const QList<HeaderCell> &pageHeaderCells(int page) const { return mBands.at(band(page)).header; }
    // How many leading columns every band repeats (0 or 1).
    int repeatedColumns() const { return mRepeated; }

    // Factor from the table's units to the page's (at most 1).
    double scale() const { return mScale; }
    // Page size in the table's units (the page divided by the scale).
    QSizeF pageSize() const { return mPageSize; }
    double rowHeight() const { return mRowHeight; }
    // Height of the cells' text as printed, in the table's units at scale 1.
    double printedTextHeight() const { return textHeight(mRowHeight) * mScale; }
    double captionHeight() const { return mCaptionHeight; }
    double headerHeight() const { return mHeaderRows * mRowHeight; }
    double footerHeight() const { return mRowHeight * 1.5; }

    int rowsPerPage() const { return mRowsPerPage; }
    int pageCount() const { return mPageCount; }
    // Data rows of a page (from 0): the first one and how many.
    int firstRow(int page) const { return page / bandCount() * mRowsPerPage; }
    int rowCount(int page) const;

private:
    struct Band {
        QList<int> columns;
        QList<double> lefts;
        QList<HeaderCell> header;
    };
    void cutIntoBands(const PrintableGrid &view, double pageWidth);
    static QList<QStringList> titles(const PrintableGrid &view, const QList<int> &columns, int headerRows);

    QList<int> mColumns;
    QList<double> mLefts;
    QList<HeaderCell> mHeaderCells;
    QList<Band> mBands;
    int mRepeated = 0;
    double mScale = 1;
    QSizeF mPageSize;
    double mRowHeight = 16;
    double mCaptionHeight = 0;
    int mHeaderRows = 1;
    int mDataRows = 0;
    int mRowsPerPage = 1;
    int mPageCount = 1;
};

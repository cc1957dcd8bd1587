#include "exchange/preview/TableLayout.h"

#include "exchange/preview/PrintableGrid.h"

#include <cmath>

TableLayout::TableLayout(const PrintableGrid &view, const QSizeF &pageSize) {
    mRowHeight = view.rowHeight() > 0 ? view.rowHeight() : 16;
    mHeaderRows = std::max(view.headerRowCount(), 0);
    mDataRows = view.dataRowCount();
    mCaptionHeight = view.caption().isEmpty() ? 0 : mRowHeight * 2;

    mLefts.append(0);
    for (int i = 0; i < view.columnCount(); ++i) {
        if (view.colWidth(i) <= 0)
            continue;
        mColumns.append(i);
        mLefts.append(mLefts.last() + view.colWidth(i));
    }
    mHeaderCells = mergeHeader(titles(view, mColumns, mHeaderRows));

    // Shrinking a little keeps the table on one page across; shrinking further would make it unreadable.
    const double readable = std::min(1.0, MinTextHeight / textHeight(mRowHeight));
    mScale =
        tableWidth() > pageSize.width() && tableWidth() > 0 ? std::max(pageSize.width() / tableWidth(), readable) : 1.0;
    mPageSize = pageSize / mScale;
    cutIntoBands(view, mPageSize.width());

    const double room = mPageSize.height() - mCaptionHeight - headerHeight() - footerHeight();
    mRowsPerPage = std::max(1, int(std::floor(room / mRowHeight)));
    const int rowPages = std::max(1, (mDataRows + mRowsPerPage - 1) / mRowsPerPage);
    mPageCount = rowPages * bandCount();
}

QList<QStringList> TableLayout::titles(const PrintableGrid &view, const QList<int> &columns, int headerRows) {
    QList<QStringList> rows;
    for (int row = 0; row < headerRows; ++row) {
        QStringList texts;
        for (int column : columns)
            texts.append(view.titleText(column, row));
        rows.append(texts);
    }
    return rows;
}

void TableLayout::cutIntoBands(const PrintableGrid &view, double pageWidth) {
    mBands.clear();
    const int count = int(mColumns.size());
    // Rounding in the scale must not cut a table that was scaled to fit exactly.
    if (tableWidth() <= pageWidth * (1 + 1e-9) || count == 0) {
        mBands.append({mColumns, mLefts, mHeaderCells});
        return;
    }
    // The key column is repeated only while it leaves most of the page to the others.
    mRepeated = count > 1 && columnWidth(0) <= pageWidth / 3 ? 1 : 0;
    const double keyWidth = mRepeated ? columnWidth(0) : 0.0;
    const double room = pageWidth - keyWidth;

    QList<QList<int>> picks{{}};
    QList<QList<double>> widths{{}};
    double used = 0;
    for (int position = mRepeated; position < count; ++position) {
        // A column wider than the page on its own is cut to the page; its text is shortened as in a narrow cell.
        const double width = std::min(columnWidth(position), room);
        if (!picks.last().isEmpty() && used + width > room * (1 + 1e-9)) {
            picks.append(QList<int>());
            widths.append(QList<double>());
            used = 0;
        }
        picks.last().append(position);
        widths.last().append(width);
        used += width;
    }

    for (qsizetype b = 0; b < picks.size(); ++b) {
        Band band;
        band.lefts.append(0);
        QList<int> keys;
        if (mRepeated) {
            keys.append(mColumns.at(0));
            band.lefts.append(keyWidth);
        }
        QList<int> rest;
        for (qsizetype k = 0; k < picks.at(b).size(); ++k) {
            rest.append(mColumns.at(picks.at(b).at(k)));
            band.lefts.append(band.lefts.last() + widths.at(b).at(k));
        }
        band.columns = keys + rest;
        // On the first band the columns stand as in the grid; further on the key stands beside columns that were
        // not its neighbours, so its header is not merged with theirs.
        if (b == 0) {
            band.header = mergeHeader(titles(view, band.columns, mHeaderRows));
        } else {
            band.header = mergeHeader(titles(view, keys, mHeaderRows));
            for (HeaderCell cell : mergeHeader(titles(view, rest, mHeaderRows))) {
                cell.firstColumn += int(keys.size());
                cell.lastColumn += int(keys.size());
                band.header.append(cell);
            }
        }
        mBands.append(band);
    }
}

double TableLayout::pageColumnWidth(int page, int position) const {
    const QList<double> &lefts = mBands.at(band(page)).lefts;
    return lefts.at(position + 1) - lefts.at(position);
}

QList<HeaderCell> TableLayout::mergeHeader(const QList<QStringList> &titles) {
    QList<HeaderCell> cells;
    QList<int> parentGroup; // group of each column in the row above
    QList<qsizetype> openCells;
    for (int row = 0; row < titles.size(); ++row) {
        const QStringList &texts = titles.at(row);
        QList<int> group(texts.size());
        QList<qsizetype> stillOpen;
        for (int column = 0; column < texts.size();) {
            // A run: equal texts that also belonged to one cell in the row above.
            int last = column;
            while (last + 1 < texts.size() && texts.at(last + 1) == texts.at(column) &&
                   (row == 0 || parentGroup.at(last + 1) == parentGroup.at(column)))
                ++last;
            qsizetype found = -1;
            for (qsizetype open : std::as_const(openCells)) {
                const HeaderCell &cell = cells.at(open);
                if (cell.firstColumn == column && cell.lastColumn == last && cell.text == texts.at(column)) {
                    found = open;
                    break;
                }
            }
            if (found >= 0) {
                cells[found].lastRow = row;
            } else {
                found = cells.size();
                cells.append({column, last, row, row, texts.at(column)});
            }
            stillOpen.append(found);
            for (int c = column; c <= last; ++c)
                group[c] = int(found);
            column = last + 1;
        }
        parentGroup = group;
        openCells = stillOpen;
    }
    return cells;
}

QString TableLayout::pageNumberText(int page, int pageCount) {
    return QStringLiteral("第 %1 页，共 %2 页").arg(page + 1).arg(pageCount);
}

int TableLayout::rowCount(int page) const {
    if (page < 0 || page >= mPageCount)
        return 0;
    return std::clamp(mDataRows - firstRow(page), 0, mRowsPerPage);
}

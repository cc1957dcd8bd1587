#include "TableLayout.h"

#include "TSkellarView.h"

#include <cmath>

TableLayout::TableLayout(const TSkellarView &view, const QSizeF &pageSize) {
    mRowHeight = view.pRowHeight() > 0 ? view.pRowHeight() : 16;
    mHeaderRows = std::max(view.pHeaderRowCount(), 0);
    mDataRows = view.pDataRowCount();
    mCaptionHeight = view.pCaption().isEmpty() ? 0 : mRowHeight * 2;

    mLefts.append(0);
    for (int i = 0; i < view.pColCount(); ++i) {
        if (view.colWidth(i) <= 0)
            continue;
        mColumns.append(i);
        mLefts.append(mLefts.last() + view.colWidth(i));
    }

    QList<QStringList> titles;
    for (int row = 0; row < mHeaderRows; ++row) {
        QStringList texts;
        for (int column : std::as_const(mColumns))
            texts.append(view.titleText(column, row));
        titles.append(texts);
    }
    mHeaderCells = mergeHeader(titles);

    mScale = tableWidth() > pageSize.width() && tableWidth() > 0 ? pageSize.width() / tableWidth() : 1.0;
    mPageSize = pageSize / mScale;
    const double room = mPageSize.height() - mCaptionHeight - headerHeight() - footerHeight();
    mRowsPerPage = std::max(1, int(std::floor(room / mRowHeight)));
    mPageCount = std::max(1, (mDataRows + mRowsPerPage - 1) / mRowsPerPage);
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

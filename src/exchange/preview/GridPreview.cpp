#include "exchange/preview/GridPreview.h"

#include "exchange/preview/HeaderTitles.h"
#include "exchange/preview/PrintableGrid.h"

void loadGrid(PrintableGrid &view, const QString &title, const GridContent &grid) {
    const int columnCount = int(grid.columns.size());
    view.setPrintType(1);
    view.setRowHeight(grid.rowHeight == 0 ? 16 : grid.rowHeight);
    view.setCaption(title);
    view.setColumnCount(columnCount);
    view.setHeaderRowCount(1);
    view.setDataRowCount(int(grid.rows.size()));
    view.setCountRowCount(0);

    int headerRows = 1;
    for (int i = 0; i < columnCount; ++i) {
        const GridColumn &column = grid.columns.at(i);
        view.setColumnWidth(i, column.width);
        view.setTitleText(i, 0, column.title);
        headerRows = std::max(headerRows, HeaderTitles::headerRowsOf(column.title));
        const Qt::Alignment horizontal = column.alignment & Qt::AlignHorizontal_Mask;
        view.setColumnAlignment(i, horizontal == Qt::AlignLeft || horizontal == 0 ? PrintableGrid::AlignLeft
                                   : horizontal == Qt::AlignHCenter               ? PrintableGrid::AlignCenter
                                                                                  : PrintableGrid::AlignRight);
        if (!column.visible)
            view.setColumnWidth(i, 0);
    }
    view.setHeaderRowCount(headerRows);
    for (int i = 0; i < columnCount; ++i) {
        const QStringList texts = HeaderTitles::splitTitle(grid.columns.at(i).title, headerRows);
        for (int j = 0; j < headerRows; ++j)
            view.setTitleText(i, j, texts.at(j));
    }
    view.setShowCount(false);

    for (int r = 0; r < grid.rows.size(); ++r) {
        const QStringList &row = grid.rows.at(r);
        for (int i = 0; i < columnCount; ++i)
            view.setCellText(i, r, i < row.size() ? row.at(i) : QString());
    }
}

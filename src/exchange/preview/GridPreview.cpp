#include "exchange/preview/GridPreview.h"

#include "exchange/preview/HeaderTitles.h"
#include "exchange/preview/PrintableGrid.h"

void loadGrid(PrintableGrid &view, const QString &title, const GridContent &grid) {
    const int columnCount = int(grid.columns.size());
    view.setPPrintType(1);
    view.setPRowHeight(grid.rowHeight == 0 ? 16 : grid.rowHeight);
    view.setPCaption(title);
    view.setPColCount(columnCount);
    view.setPHeaderRowCount(1);
    view.setPDataRowCount(int(grid.rows.size()));
    view.setPCountRowCount(0);

    int headerRows = 1;
    for (int i = 0; i < columnCount; ++i) {
        const GridColumn &column = grid.columns.at(i);
        view.SetColWidth(i, column.width);
        view.SetTitleText(i, 0, column.title);
        headerRows = std::max(headerRows, HeaderTitles::GetMaxTitleRow(column.title));
        const Qt::Alignment horizontal = column.alignment & Qt::AlignHorizontal_Mask;
        view.SetColAlign(i, horizontal == Qt::AlignLeft || horizontal == 0 ? PrintableGrid::AlignLeft
                            : horizontal == Qt::AlignHCenter               ? PrintableGrid::AlignCenter
                                                                           : PrintableGrid::AlignRight);
        if (!column.visible)
            view.SetColWidth(i, 0);
    }
    view.setPHeaderRowCount(headerRows);
    for (int i = 0; i < columnCount; ++i) {
        const QStringList texts = HeaderTitles::SplitTitle(grid.columns.at(i).title, headerRows);
        for (int j = 0; j < headerRows; ++j)
            view.SetTitleText(i, j, texts.at(j));
    }
    view.setPShowCount(false);

    for (int r = 0; r < grid.rows.size(); ++r) {
        const QStringList &row = grid.rows.at(r);
        for (int i = 0; i < columnCount; ++i)
            view.SetCellText(i, r, i < row.size() ? row.at(i) : QString());
    }
}

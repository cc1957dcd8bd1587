#include "exchange/preview/TablePainter.h"

#include "exchange/preview/PrintableGrid.h"
#include "exchange/preview/TableLayout.h"

#include <QFile>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace {

// The table is laid out in the grid's pixels, a 96th of an inch.
constexpr double TableDpi = 96.0;

QFont tableFont(double rowHeight, bool bold = false, double factor = 1.0) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(std::max(6, int(TableLayout::textHeight(rowHeight) * factor)));
    font.setBold(bold);
    return font;
}

void drawCellText(QPainter &painter, const QRectF &rect, const QString &text, Qt::Alignment alignment) {
    const QRectF inner = rect.adjusted(3, 0, -3, 0);
    const QString shown = painter.fontMetrics().elidedText(text.simplified(), Qt::ElideRight, int(inner.width()));
    painter.drawText(inner, int(alignment | Qt::AlignVCenter | Qt::TextSingleLine), shown);
}

Qt::Alignment columnAlignment(int value) {
    switch (value) {
    case PrintableGrid::AlignLeft:
        return Qt::AlignLeft;
    case PrintableGrid::AlignCenter:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignRight;
    }
}

} // namespace

QPageLayout::Orientation TablePainter::preferredOrientation(const PrintableGrid &view, const QPageLayout &layout) {
    QPageLayout upright = layout;
    upright.setOrientation(QPageLayout::Portrait);
    const double width = upright.paintRect(QPageLayout::Inch).width() * TableDpi;
    const TableLayout table(view, QSizeF(1e9, 1e9));
    return table.tableWidth() > width ? QPageLayout::Landscape : QPageLayout::Portrait;
}

bool TablePainter::print(const PrintableGrid &view, QPagedPaintDevice *device) {
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const double toDevice = device->logicalDpiX() / TableDpi;
    const TableLayout layout(view, QSizeF(device->width(), device->height()) / toDevice);
    for (int page = 0; page < layout.pageCount(); ++page) {
        if (page > 0)
            device->newPage();
        painter.save();
        painter.scale(toDevice * layout.scale(), toDevice * layout.scale());
        paintPage(painter, view, layout, page);
        painter.restore();
    }
    return painter.end();
}

bool TablePainter::writePdf(const PrintableGrid &view, const QString &path, QString *error) {
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (error)
                *error = probe.errorString();
            return false;
        }
    }
    QPdfWriter writer(path);
    writer.setTitle(view.caption());
    writer.setCreator(QStringLiteral("Vantrel"));
    QPageLayout page(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                     QPageLayout::Millimeter);
    page.setOrientation(preferredOrientation(view, page));
    writer.setPageLayout(page);
    if (!print(view, &writer)) {
        if (error)
            *error = QStringLiteral("无法写入PDF文件。");
        return false;
    }
    return true;
}

void TablePainter::paintPage(QPainter &painter, const PrintableGrid &view, const TableLayout &layout, int page) {
    const double rowHeight = layout.rowHeight();
    const double width = layout.pageTableWidth(page);
    const double pageWidth = layout.pageSize().width();
    const double left = std::max(0.0, (pageWidth - width) / 2);
    double y = 0;

    painter.setPen(QPen(Qt::black, 0));
    if (layout.captionHeight() > 0) {
        painter.setFont(tableFont(rowHeight, true, 1.4));
        painter.drawText(QRectF(0, y, pageWidth, layout.captionHeight()), int(Qt::AlignCenter | Qt::TextSingleLine),
                         view.caption());
        y += layout.captionHeight();
    }

    painter.setFont(tableFont(rowHeight, true));
    for (const HeaderCell &cell : layout.pageHeaderCells(page)) {
        const double cellLeft = layout.pageColumnLeft(page, cell.firstColumn);
        const double cellRight =
            layout.pageColumnLeft(page, cell.lastColumn) + layout.pageColumnWidth(page, cell.lastColumn);
        const QRectF rect(left + cellLeft, y + cell.firstRow * rowHeight, cellRight - cellLeft,
                          (cell.lastRow - cell.firstRow + 1) * rowHeight);
        painter.fillRect(rect, QColor(0xEE, 0xEE, 0xEE));
        painter.drawRect(rect);
        drawCellText(painter, rect, cell.text, Qt::AlignHCenter);
    }
    y += layout.headerHeight();

    painter.setFont(tableFont(rowHeight));
    const QList<int> &columns = layout.pageColumns(page);
    const int first = layout.firstRow(page);
    const int count = layout.rowCount(page);
    for (int r = 0; r < count; ++r) {
        for (int position = 0; position < columns.size(); ++position) {
            const int column = columns.at(position);
            const QRectF rect(left + layout.pageColumnLeft(page, position), y, layout.pageColumnWidth(page, position),
                              rowHeight);
            painter.drawRect(rect);
            drawCellText(painter, rect, view.cellText(column, first + r), columnAlignment(view.colAlign(column)));
        }
        y += rowHeight;
    }

    painter.setFont(tableFont(rowHeight));
    const double footerTop = layout.pageSize().height() - layout.footerHeight();
    painter.drawText(QRectF(0, footerTop, pageWidth, layout.footerHeight()), int(Qt::AlignCenter | Qt::TextSingleLine),
                     TableLayout::pageNumberText(page, layout.pageCount()));
}

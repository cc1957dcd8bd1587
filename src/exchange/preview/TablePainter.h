#pragma once

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QPainter;
class TableLayout;
class PrintableGrid;

// Paints the printable table page by page: caption, header rows, cells with the column alignments, grid lines
// and the page number, on a printer, a preview or a PDF file.
class TablePainter {
public:
    // Landscape when the table is wider than the page's printable width upright.
    static QPageLayout::Orientation preferredOrientation(const PrintableGrid &view, const QPageLayout &layout);

    // Every page on the device; false when painting cannot start on it.
    static bool print(const PrintableGrid &view, QPagedPaintDevice *device);
    // A4 PDF file; on failure returns false with a message.
    static bool writePdf(const PrintableGrid &view, const QString &path, QString *error);

    static void paintPage(QPainter &painter, const PrintableGrid &view, const TableLayout &layout, int page);
};

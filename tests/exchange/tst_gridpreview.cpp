#include "exchange/preview/GridPreview.h"
#include "exchange/preview/PrintableGrid.h"
#include "exchange/preview/TableLayout.h"
#include "exchange/preview/TablePainter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using Titles = QList<QStringList>;

class TestGridPreview : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerRows_data();
    void headerRows();
    void loadsPropertiesAndCells();
    void hiddenColumns();
    void emptyDataset();
    void mergedHeaderCells_data();
    void mergedHeaderCells();
    void pageBreaking();
    void wideTableKeepsReadableText_data();
    void wideTableKeepsReadableText();
    void wideTablePdf();
    void pdfText();

private:
    static GridContent grid(const QStringList &titles, int rows);
    static QString pdfToText(const QString &path);
};

GridContent TestGridPreview::grid(const QStringList &titles, int rows) {
    GridContent content;
    for (const QString &title : titles)
        content.columns.append({title, title, 90, Qt::AlignLeft, true});
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 0; c < titles.size(); ++c)
            row.append(QStringLiteral("r%1c%2").arg(r + 1).arg(c + 1));
        content.rows.append(row);
    }
    return content;
}

void TestGridPreview::headerRows_data() {
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<Titles>("header"); // [column][header row]
    QTest::newRow("no bar") << QStringList{u"合同编号"_qs, u"金额"_qs} << Titles{{u"合同编号"_qs}, {u"金额"_qs}};
    QTest::newRow("A|B beside a plain title")
        << QStringList{u"合同|甲方"_qs, u"合同|乙方"_qs, u"金额"_qs}
        << Titles{{u"合同"_qs, u"甲方"_qs}, {u"合同"_qs, u"乙方"_qs}, {u"金额"_qs, u"金额"_qs}};
    QTest::newRow("A||B") << QStringList{u"A||B"_qs} << Titles{{u"A"_qs, QString(), u"B"_qs}};
    QTest::newRow("A|") << QStringList{u"A|"_qs} << Titles{{u"A"_qs, QString()}};
    QTest::newRow("deepest title decides")
        << QStringList{u"A|B"_qs, u"C|D|E"_qs, u"F"_qs}
        << Titles{{u"A"_qs, u"B"_qs, u"B"_qs}, {u"C"_qs, u"D"_qs, u"E"_qs}, {u"F"_qs, u"F"_qs, u"F"_qs}};
}

void TestGridPreview::headerRows() {
    QFETCH(QStringList, titles);
    QFETCH(Titles, header);
    PrintableGrid view;
    loadGrid(view, u"合同列表"_qs, grid(titles, 1));
    QCOMPARE(view.headerRowCount(), header.first().size());
    for (int c = 0; c < titles.size(); ++c) {
        QStringList texts;
        for (int r = 0; r < view.headerRowCount(); ++r)
            texts.append(view.titleText(c, r));
        QCOMPARE(texts, header.at(c));
    }
}

void TestGridPreview::loadsPropertiesAndCells() {
    GridContent content = grid({u"编号"_qs, u"金额"_qs, u"状态"_qs}, 2);
    content.columns[1].alignment = Qt::AlignRight | Qt::AlignVCenter;
    content.columns[2].alignment = Qt::AlignHCenter;
    content.columns[0].width = 120;
    PrintableGrid view;
    loadGrid(view, u"合同管理"_qs, content);
    QCOMPARE(view.printType(), 1);
    QCOMPARE(view.rowHeight(), 16); // the grid reported no row height
    QCOMPARE(view.caption(), u"合同管理"_qs);
    QCOMPARE(view.columnCount(), 3);
    QCOMPARE(view.dataRowCount(), 2);
    QCOMPARE(view.countRowCount(), 0);
    QCOMPARE(view.showCount(), false);
    QCOMPARE(view.colWidth(0), 120);
    QCOMPARE(view.colAlign(0), int(PrintableGrid::AlignLeft));
    QCOMPARE(view.colAlign(1), int(PrintableGrid::AlignRight));
    QCOMPARE(view.colAlign(2), int(PrintableGrid::AlignCenter));
    QCOMPARE(view.cellText(2, 1), u"r2c3"_qs);

    content.rowHeight = 22;
    loadGrid(view, u"合同管理"_qs, content);
    QCOMPARE(view.rowHeight(), 22);
}

void TestGridPreview::hiddenColumns() {
    GridContent content = grid({u"编号"_qs, u"内部|代码"_qs, u"甲方"_qs}, 1);
    content.columns[1].visible = false;
    PrintableGrid view;
    loadGrid(view, QString(), content);
    // The hidden column keeps its place (indexes match the grid) at width 0, and still counts for header rows.
    QCOMPARE(view.columnCount(), 3);
    QCOMPARE(view.colWidth(1), 0);
    QCOMPARE(view.headerRowCount(), 2);
    QCOMPARE(view.cellText(1, 0), u"r1c2"_qs);

    const TableLayout layout(view, QSizeF(700, 1000));
    QCOMPARE(layout.columns(), QList<int>({0, 2}));
    QCOMPARE(layout.tableWidth(), 180.0);
    // 编号 and 甲方 each span both header rows; the hidden column's texts are not drawn.
    QCOMPARE(layout.headerCells(), QList<HeaderCell>({{0, 0, 0, 1, u"编号"_qs}, {1, 1, 0, 1, u"甲方"_qs}}));
}

void TestGridPreview::emptyDataset() {
    PrintableGrid view;
    loadGrid(view, u"合同管理"_qs, grid({u"合同|甲方"_qs, u"合同|乙方"_qs}, 0));
    QCOMPARE(view.dataRowCount(), 0);
    QCOMPARE(view.headerRowCount(), 2);
    QCOMPARE(view.titleText(1, 1), u"乙方"_qs);
    const TableLayout layout(view, QSizeF(700, 1000));
    QCOMPARE(layout.pageCount(), 1);
    QCOMPARE(layout.rowCount(0), 0);

    PrintableGrid noColumns;
    loadGrid(noColumns, QString(), GridContent());
    QCOMPARE(noColumns.columnCount(), 0);
    QCOMPARE(TableLayout(noColumns, QSizeF(700, 1000)).pageCount(), 1);
}

void TestGridPreview::mergedHeaderCells_data() {
    QTest::addColumn<Titles>("titles"); // [header row][column]
    QTest::addColumn<QList<HeaderCell>>("cells");
    QTest::newRow("group over two columns, plain title spans both rows")
        << Titles{{u"合同"_qs, u"合同"_qs, u"金额"_qs}, {u"甲方"_qs, u"乙方"_qs, u"金额"_qs}}
        << QList<HeaderCell>{
               {0, 1, 0, 0, u"合同"_qs}, {2, 2, 0, 1, u"金额"_qs}, {0, 0, 1, 1, u"甲方"_qs}, {1, 1, 1, 1, u"乙方"_qs}};
    QTest::newRow("equal texts under different groups stay apart")
        << Titles{{u"A"_qs, u"B"_qs}, {u"x"_qs, u"x"_qs}}
        << QList<HeaderCell>{
               {0, 0, 0, 0, u"A"_qs}, {1, 1, 0, 0, u"B"_qs}, {0, 0, 1, 1, u"x"_qs}, {1, 1, 1, 1, u"x"_qs}};
    QTest::newRow("A||B keeps the empty middle row")
        << Titles{{u"A"_qs}, {QString()}, {u"B"_qs}}
        << QList<HeaderCell>{{0, 0, 0, 0, u"A"_qs}, {0, 0, 1, 1, QString()}, {0, 0, 2, 2, u"B"_qs}};
}

void TestGridPreview::mergedHeaderCells() {
    QFETCH(Titles, titles);
    QFETCH(QList<HeaderCell>, cells);
    QCOMPARE(TableLayout::mergeHeader(titles), cells);
}

void TestGridPreview::pageBreaking() {
    PrintableGrid view;
    loadGrid(view, u"标题"_qs, grid({u"A|B"_qs}, 100));
    // 20 units a row: caption 40, two header rows 40, footer 30 leave 290 for 14 rows.
    view.setRowHeight(20);
    const TableLayout layout(view, QSizeF(500, 400));
    QCOMPARE(layout.rowsPerPage(), 14);
    QCOMPARE(layout.pageCount(), 8);
    QCOMPARE(layout.firstRow(7), 98);
    QCOMPARE(layout.rowCount(7), 2);

    // A little wider than the page: scaled down to fit, so more rows fit too.
    GridContent wide = grid({u"A"_qs, u"B"_qs}, 10);
    wide.columns[0].width = 300;
    wide.columns[1].width = 325;
    loadGrid(view, QString(), wide);
    const TableLayout scaled(view, QSizeF(500, 400));
    QCOMPARE(scaled.scale(), 0.8);
    QCOMPARE(scaled.pageSize(), QSizeF(625, 500));
    QCOMPARE(scaled.bandCount(), 1);
}

void TestGridPreview::wideTableKeepsReadableText_data() {
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QList<QList<int>>>("bands");
    QTest::addColumn<double>("scale");
    // A4 landscape with 15 mm margins, in 96ths of an inch; 16 px rows give 10 px text, readable down to 0.8.
    QTest::newRow("fits") << QList<int>(5, 90) << QList<QList<int>>{{0, 1, 2, 3, 4}} << 1.0;
    QTest::newRow("a little too wide: shrunk to fit")
        << QList<int>(12, 90) << QList<QList<int>>{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}} << 1009.0 / 1080.0;
    QList<QList<int>> register80;
    for (int from = 1; from < 80; from += 13) {
        QList<int> band{0};
        for (int c = from; c < std::min(from + 13, 80); ++c)
            band.append(c);
        register80.append(band);
    }
    QTest::newRow("register of 80 columns: bands with the key column") << QList<int>(80, 90) << register80 << 0.8;
    QTest::newRow("column wider than the page on its own")
        << QList<int>{60, 3000, 60, 60} << QList<QList<int>>{{0, 1}, {0, 2, 3}} << 0.8;
    QTest::newRow("wide key column is not repeated")
        << QList<int>{600, 500, 500, 500} << QList<QList<int>>{{0, 1}, {2, 3}} << 0.8;
}

void TestGridPreview::wideTableKeepsReadableText() {
    QFETCH(QList<int>, widths);
    QFETCH(QList<QList<int>>, bands);
    QFETCH(double, scale);
    QStringList titles;
    for (int c = 0; c < widths.size(); ++c)
        titles.append(c == 0 ? u"合同编号"_qs : QStringLiteral("指标%1").arg(c));
    GridContent content = grid(titles, 100);
    for (int c = 0; c < widths.size(); ++c)
        content.columns[c].width = widths.at(c);
    PrintableGrid view;
    loadGrid(view, u"合同管理"_qs, content);

    const TableLayout layout(view, QSizeF(1009, 680));
    QCOMPARE(layout.scale(), scale);
    QVERIFY(layout.printedTextHeight() >= TableLayout::MinTextHeight);
    QCOMPARE(layout.bandCount(), int(bands.size()));
    const int rowPages = (100 + layout.rowsPerPage() - 1) / layout.rowsPerPage();
    QCOMPARE(layout.pageCount(), rowPages * int(bands.size()));
    for (int page = 0; page < layout.pageCount(); ++page) {
        const int band = page % int(bands.size());
        QCOMPARE(layout.pageColumns(page), bands.at(band));
        QVERIFY(layout.pageTableWidth(page) <= layout.pageSize().width() + 1e-6);
        // Pages go across the bands of one block of rows before the next block.
        QCOMPARE(layout.firstRow(page), page / int(bands.size()) * layout.rowsPerPage());
        for (int position = 0; position < bands.at(band).size(); ++position) {
            const int column = bands.at(band).at(position);
            QCOMPARE(
                layout.pageColumnWidth(page, position),
                std::min(double(widths.at(column)),
                         layout.pageSize().width() - (position > 0 && layout.repeatedColumns() ? widths.at(0) : 0)));
        }
    }
}

// The 80-column register printed: every page carries the key column and its page number, and every column is
// printed somewhere.
void TestGridPreview::wideTablePdf() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QStringList titles{u"合同编号"_qs};
    for (int c = 1; c < 80; ++c)
        titles.append(QStringLiteral("指标%1").arg(c));
    GridContent content = grid(titles, 60);
    for (int r = 0; r < 60; ++r)
        content.rows[r][0] = QStringLiteral("HT-%1").arg(r + 1, 4, 10, QLatin1Char('0'));
    PrintableGrid view;
    loadGrid(view, u"合同管理"_qs, content);

    QTemporaryDir folder;
    const QString path = folder.filePath(u"宽列表.pdf"_qs);
    QString error;
    QVERIFY2(TablePainter::writePdf(view, path, &error), qPrintable(error));
    const QStringList pages = pdfToText(path).split(u'\f', Qt::SkipEmptyParts);
    QVERIFY(pages.size() > 1);
    QString all;
    for (int p = 0; p < pages.size(); ++p) {
        QVERIFY2(pages.at(p).contains(u"合同编号"_qs), qPrintable(pages.at(p)));
        QVERIFY2(pages.at(p).contains(u"HT-0001"_qs) || pages.at(p).contains(u"HT-0060"_qs), qPrintable(pages.at(p)));
        QVERIFY2(pages.at(p).contains(TableLayout::pageNumberText(p, int(pages.size()))), qPrintable(pages.at(p)));
        all += pages.at(p);
    }
    for (int c = 1; c < 80; ++c)
        QVERIFY2(all.contains(QStringLiteral("指标%1 ").arg(c)) || all.contains(QStringLiteral("指标%1\n").arg(c)),
                 qPrintable(QStringLiteral("指标%1").arg(c)));
}

QString TestGridPreview::pdfToText(const QString &path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

void TestGridPreview::pdfText() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    GridContent content = grid({u"合同|甲方"_qs, u"合同|乙方"_qs, u"内部"_qs, u"金额"_qs}, 120);
    content.columns[2].visible = false;
    content.columns[3].alignment = Qt::AlignRight;
    content.rows[0] = QStringList{u"北京某公司"_qs, u"上海某公司"_qs, u"秘密"_qs, u"1234.50"_qs};
    PrintableGrid view;
    loadGrid(view, u"合同管理"_qs, content);

    QTemporaryDir folder;
    const QString path = folder.filePath(u"列表.pdf"_qs);
    QString error;
    QVERIFY2(TablePainter::writePdf(view, path, &error), qPrintable(error));
    const QString text = pdfToText(path);
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    QVERIFY2(pages.size() >= 3, qPrintable(text.left(2000)));

    const int pageCount = int(pages.size());
    for (int p = 0; p < pageCount; ++p) {
        const QString &page = pages.at(p);
        // Caption and both header rows on every page, the group title once per page.
        QVERIFY2(page.contains(u"合同管理"_qs), qPrintable(page));
        QCOMPARE(page.count(u"合同"_qs) - page.count(u"合同管理"_qs), 1);
        QVERIFY(page.contains(u"甲方"_qs));
        QVERIFY(page.contains(u"金额"_qs));
        QVERIFY(!page.contains(u"内部"_qs));
        QVERIFY2(page.contains(QStringLiteral("第 %1 页，共 %2 页").arg(p + 1).arg(pageCount)), qPrintable(page));
    }
    QVERIFY(pages.first().contains(u"北京某公司"_qs));
    QVERIFY(pages.first().contains(u"1234.50"_qs));
    QVERIFY(!text.contains(u"秘密"_qs));
    QVERIFY(text.contains(u"r120c4"_qs));
    QVERIFY(pages.last().contains(u"r120c1"_qs));
    QVERIFY(!pages.first().contains(u"r120c1"_qs));
}

QTEST_MAIN(TestGridPreview)
#include "tst_gridpreview.moc"

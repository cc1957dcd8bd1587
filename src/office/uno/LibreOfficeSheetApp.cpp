#include "office/LibreOfficeSheetApp.h"

#include "office/uno/OfficeCalls.h"
#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/GeneralFunction.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

#include <QHash>

#include <algorithm>
#include <optional>

using namespace com::sun::star;
using namespace uno_support;

namespace {

// Rows per setDataArray call: big enough that the calls cost nothing, small enough that no single message
// over the pipe grows huge.
constexpr int kRowsPerBlock = 2000;

const QString notConnected = QStringLiteral("电子表格软件没有连接或已经关闭");
const QString noDocument = QStringLiteral("没有新建的电子表格");

// Sizing every row to its text while cells arrive costs ten times the writing itself for mixed Chinese and Latin
// text; the document sizes nothing until the block is in, then only the rows that hold a line break.
class RowHeightsDeferred {
public:
    explicit RowHeightsDeferred(const uno::Reference<lang::XComponent> &document)
        : mProps(document, uno::UNO_QUERY) {
        if (mProps.is())
            mProps->setPropertyValue(ascii("IsAdjustHeightEnabled"), uno::Any(false));
    }
    ~RowHeightsDeferred() {
        try {
            if (mProps.is())
                mProps->setPropertyValue(ascii("IsAdjustHeightEnabled"), uno::Any(true));
        } catch (const uno::Exception &) {
            // Only the row heights of the shown sheet depend on it.
        }
    }
    RowHeightsDeferred(const RowHeightsDeferred &) = delete;
    RowHeightsDeferred &operator=(const RowHeightsDeferred &) = delete;

private:
    uno::Reference<beans::XPropertySet> mProps;
};

} // namespace

struct LibreOfficeSheetApp::Private {
    explicit Private(bool headless)
        : office(OfficeInstance::Kind::Shared, headless) {}

    OfficeInstance office;
    uno::Reference<lang::XComponent> document;
    // Number format keys of this document by format code.
    QHash<QString, sal_Int32> formatKeys;

    // The few widest cells written into each column (by a rough count: a Chinese character is two Latin ones);
    // sizing a column to its contents then measures only these instead of every cell.
    struct Candidate {
        qsizetype units = 0;
        sal_Int32 row = 0;
        SheetCell cell;
    };
    static constexpr int kCandidatesPerColumn = 4;
    QHash<sal_Int32, QList<Candidate>> widest;

    static qsizetype units(const QString &text) {
        qsizetype n = 0;
        for (const QChar ch : text)
            n += ch.unicode() >= 0x2E80 ? 2 : 1;
        return n;
    }

    void noteWritten(sal_Int32 column, sal_Int32 top, sal_Int32 bottom) {
        auto it = widest.find(column);
        if (it != widest.end())
            it->removeIf([&](const Candidate &c) { return c.row >= top && c.row <= bottom; });
    }

    void noteCandidate(sal_Int32 column, sal_Int32 row, const SheetCell &cell) {
        const qsizetype n = units(cell.text);
        if (n == 0)
            return;
        QList<Candidate> &list = widest[column];
        if (list.size() < kCandidatesPerColumn) {
            list.append({n, row, cell});
            return;
        }
        auto narrowest = std::min_element(list.begin(), list.end(),
                                          [](const Candidate &a, const Candidate &b) { return a.units < b.units; });
        if (n > narrowest->units)
            *narrowest = {n, row, cell};
    }

    // Writes count rows from first of rows at (top, left) of sheet: values in one call, then one number format
    // call per format. Text cells between cells of one format do not break their run, since a number format
    // does not change how a text shows.
    void putBlock(const uno::Reference<sheet::XSpreadsheet> &sheet, sal_Int32 sheetIndex, sal_Int32 top, sal_Int32 left,
                  const QList<QList<SheetCell>> &rows, qsizetype first, qsizetype count, qsizetype width) {
        uno::Sequence<uno::Sequence<uno::Any>> block(static_cast<sal_Int32>(count));
        auto *out = block.getArray();
        for (qsizetype r = 0; r < count; ++r) {
            const QList<SheetCell> &cells = rows.at(first + r);
            uno::Sequence<uno::Any> line(static_cast<sal_Int32>(width));
            auto *cell = line.getArray();
            // A string value is stored as text: the office neither evaluates "=…" nor reads "007" as 7.
            for (qsizetype c = 0; c < width; ++c) {
                if (c >= cells.size())
                    cell[c] <<= rtl::OUString();
                else if (cells.at(c).kind == SheetCell::Kind::Text)
                    cell[c] <<= toOU(cells.at(c).text);
                else
                    cell[c] <<= cells.at(c).value;
            }
            out[r] = line;
        }
        const auto range = sheet->getCellRangeByPosition(left, top, static_cast<sal_Int32>(left + width - 1),
                                                         static_cast<sal_Int32>(top + count - 1));
        uno::Reference<sheet::XCellRangeData> data(range, uno::UNO_QUERY_THROW);
        data->setDataArray(block);

        QHash<QString, QList<table::CellRangeAddress>> runsByFormat;
        for (qsizetype c = 0; c < width; ++c) {
            QString runFormat;
            qsizetype runFirst = 0;
            qsizetype runLast = 0;
            const auto flush = [&] {
                if (runFormat.isEmpty())
                    return;
                table::CellRangeAddress address;
                address.Sheet = static_cast<sal_Int16>(sheetIndex);
                address.StartColumn = static_cast<sal_Int32>(left + c);
                address.EndColumn = address.StartColumn;
                address.StartRow = static_cast<sal_Int32>(top + runFirst);
                address.EndRow = static_cast<sal_Int32>(top + runLast);
                runsByFormat[runFormat].append(address);
            };
            for (qsizetype r = 0; r < count; ++r) {
                const QList<SheetCell> &cells = rows.at(first + r);
                if (c >= cells.size() || cells.at(c).kind == SheetCell::Kind::Text)
                    continue;
                const QString &format = cells.at(c).format;
                if (format != runFormat) {
                    flush();
                    runFormat = format;
                    runFirst = r;
                }
                runLast = r;
            }
            flush();
        }
        if (runsByFormat.isEmpty())
            return;
        uno::Reference<lang::XMultiServiceFactory> factory(document, uno::UNO_QUERY_THROW);
        for (auto it = runsByFormat.cbegin(); it != runsByFormat.cend(); ++it) {
            uno::Reference<sheet::XSheetCellRangeContainer> ranges(
                factory->createInstance(ascii("com.sun.star.sheet.SheetCellRanges")), uno::UNO_QUERY_THROW);
            ranges->addRangeAddresses(
                uno::Sequence<table::CellRangeAddress>(it->constData(), static_cast<sal_Int32>(it->size())), false);
            uno::Reference<beans::XPropertySet> props(ranges, uno::UNO_QUERY_THROW);
            props->setPropertyValue(ascii("NumberFormat"), uno::Any(formatKey(it.key())));
        }
    }

    // Format codes are written the same way in every locale when read as English (United States) ones.
    static lang::Locale formatLocale() {
        lang::Locale locale;
        locale.Language = ascii("en");
        locale.Country = ascii("US");
        return locale;
    }

    uno::Reference<util::XNumberFormats> numberFormats() const {
        uno::Reference<util::XNumberFormatsSupplier> supplier(document, uno::UNO_QUERY_THROW);
        return supplier->getNumberFormats();
    }

    sal_Int32 formatKey(const QString &code) {
        const auto known = formatKeys.constFind(code);
        if (known != formatKeys.cend())
            return *known;
        const auto formats = numberFormats();
        sal_Int32 key = formats->queryKey(toOU(code), formatLocale(), false);
        if (key == -1)
            key = formats->addNew(toOU(code), formatLocale());
        formatKeys.insert(code, key);
        return key;
    }

    uno::Reference<sheet::XSpreadsheet> firstSheet() const {
        uno::Reference<sheet::XSpreadsheetDocument> spreadsheet(document, uno::UNO_QUERY_THROW);
        uno::Reference<container::XIndexAccess> sheets(spreadsheet->getSheets(), uno::UNO_QUERY_THROW);
        return uno::Reference<sheet::XSpreadsheet>(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
    }

    uno::Reference<frame::XFrame> frame() const {
        uno::Reference<frame::XModel> model(document, uno::UNO_QUERY_THROW);
        return model->getCurrentController()->getFrame();
    }

    bool ready() { return document.is() && office.alive(); }
};

LibreOfficeSheetApp::LibreOfficeSheetApp(Display display)
    : d(std::make_unique<Private>(display == Display::Headless ||
                                  (display == Display::FromEnvironment && OfficeInstance::headlessFromEnvironment()))) {
}

// A headless office ends with this object and closes its documents unsaved on the way; a visible one keeps them.
LibreOfficeSheetApp::~LibreOfficeSheetApp() {
    d->document.clear();
}

template <typename Body> auto LibreOfficeSheetApp::guarded(const char *what, Body &&body) -> decltype(body()) {
    return office_calls::guarded(
        d->office, QString::fromUtf8(what), [this](const QString &error) { fail(error); }, std::forward<Body>(body));
}

bool LibreOfficeSheetApp::connect() {
    clearError();
    QString error;
    return office_calls::connect(d->office, d->document, &error) || fail(error);
}

bool LibreOfficeSheetApp::newSpreadsheet() {
    clearError();
    if (!d->office.alive())
        return fail(notConnected);
    return guarded("无法新建电子表格：", [&] {
        // Hidden until filled, so the user never watches the rows arrive.
        auto document = loadDocument(d->office, ascii("private:factory/scalc"), false, /*hidden=*/true);
        if (!uno::Reference<sheet::XSpreadsheetDocument>(document, uno::UNO_QUERY).is()) {
            closeUnsaved(document);
            return fail(QStringLiteral("办公软件没有新建电子表格"));
        }
        try {
            setAsianLocale(document);
        } catch (const uno::Exception &) {
            // Only the look of Chinese glyphs depends on it.
        }
        d->document = document;
        d->formatKeys.clear();
        d->widest.clear();
        return true;
    });
}

bool LibreOfficeSheetApp::writeTexts(int row, int column, const QList<QStringList> &rows) {
    QList<QList<SheetCell>> cells;
    cells.reserve(rows.size());
    for (const QStringList &texts : rows) {
        QList<SheetCell> line;
        line.reserve(texts.size());
        for (const QString &text : texts)
            line.append(SheetCell::fromText(text));
        cells.append(std::move(line));
    }
    return writeCells(row, column, cells);
}

bool LibreOfficeSheetApp::writeCells(int row, int column, const QList<QList<SheetCell>> &rows) {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    if (row < 0 || column < 0)
        return fail(QStringLiteral("单元格位置无效"));
    qsizetype width = 0;
    for (const auto &cells : rows)
        width = std::max(width, cells.size());
    if (rows.isEmpty() || width == 0)
        return true;
    return guarded("写入电子表格失败：", [&] {
        const auto sheet = d->firstSheet();
        QList<sal_Int32> multiLineRows;
        std::optional<RowHeightsDeferred> deferred(std::in_place, d->document);
        for (qsizetype first = 0; first < rows.size(); first += kRowsPerBlock) {
            const qsizetype count = std::min<qsizetype>(kRowsPerBlock, rows.size() - first);
            const sal_Int32 top = static_cast<sal_Int32>(row + first);
            for (qsizetype c = 0; c < width; ++c)
                d->noteWritten(static_cast<sal_Int32>(column + c), top, static_cast<sal_Int32>(top + count - 1));
            for (qsizetype r = 0; r < count; ++r) {
                const QList<SheetCell> &cells = rows.at(first + r);
                bool multiLine = false;
                for (qsizetype c = 0; c < cells.size(); ++c) {
                    multiLine = multiLine || cells.at(c).text.contains(QLatin1Char('\n'));
                    d->noteCandidate(static_cast<sal_Int32>(column + c), static_cast<sal_Int32>(top + r), cells.at(c));
                }
                if (multiLine)
                    multiLineRows << static_cast<sal_Int32>(top + r);
            }
            d->putBlock(sheet, 0, top, column, rows, first, count, width);
        }
        deferred.reset();
        if (!multiLineRows.isEmpty()) {
            uno::Reference<table::XColumnRowRange> range(sheet, uno::UNO_QUERY_THROW);
            const auto tableRows = range->getRows();
            for (const sal_Int32 index : std::as_const(multiLineRows)) {
                uno::Reference<beans::XPropertySet> rowProps(tableRows->getByIndex(index), uno::UNO_QUERY);
                if (rowProps.is())
                    rowProps->setPropertyValue(ascii("OptimalHeight"), uno::Any(true));
            }
        }
        return true;
    });
}

bool LibreOfficeSheetApp::fitColumns(int column, int columns) {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    if (column < 0 || columns <= 0)
        return true;
    // The office measures every cell of a column for its optimal width (seconds for a large list). The widest
    // cells written into each column go to a scratch sheet instead; its optimal widths become this sheet's.
    const QString scratchName = QStringLiteral("VantrelColumnWidths");
    return guarded("无法调整电子表格的列宽：", [&] {
        uno::Reference<sheet::XSpreadsheetDocument> spreadsheet(d->document, uno::UNO_QUERY_THROW);
        const auto sheets = spreadsheet->getSheets();
        uno::Reference<container::XIndexAccess> byIndex(sheets, uno::UNO_QUERY_THROW);
        const auto scratchIndex = static_cast<sal_Int16>(byIndex->getCount());
        sheets->insertNewByName(toOU(scratchName), scratchIndex);
        uno::Reference<sheet::XSpreadsheet> scratch(byIndex->getByIndex(scratchIndex), uno::UNO_QUERY_THROW);
        const auto removeScratch = [&] {
            try {
                sheets->removeByName(toOU(scratchName));
            } catch (const uno::Exception &) {
                // Gone with the document.
            }
        };
        try {
            QList<QList<SheetCell>> block;
            for (int c = 0; c < columns; ++c) {
                const QList<Private::Candidate> candidates = d->widest.value(column + c);
                for (qsizetype i = 0; i < candidates.size(); ++i) {
                    if (block.size() <= i)
                        block.append(QList<SheetCell>(columns));
                    block[i][c] = candidates.at(i).cell;
                }
            }
            if (!block.isEmpty())
                d->putBlock(scratch, scratchIndex, 0, column, block, 0, block.size(), columns);

            uno::Reference<table::XColumnRowRange> measured(
                scratch->getCellRangeByPosition(column, 0, column + columns - 1, 0), uno::UNO_QUERY_THROW);
            uno::Reference<beans::XPropertySet>(measured->getColumns(), uno::UNO_QUERY_THROW)
                ->setPropertyValue(ascii("OptimalWidth"), uno::Any(true));
            uno::Reference<table::XColumnRowRange> target(d->firstSheet(), uno::UNO_QUERY_THROW);
            const auto measuredColumns = measured->getColumns();
            const auto targetColumns = target->getColumns();
            for (int c = 0; c < columns; ++c) {
                sal_Int32 width = 0;
                uno::Reference<beans::XPropertySet>(measuredColumns->getByIndex(c), uno::UNO_QUERY_THROW)
                    ->getPropertyValue(ascii("Width")) >>= width;
                uno::Reference<beans::XPropertySet>(targetColumns->getByIndex(column + c), uno::UNO_QUERY_THROW)
                    ->setPropertyValue(ascii("Width"), uno::Any(width));
            }
        } catch (...) {
            removeScratch();
            throw;
        }
        removeScratch();
        return true;
    });
}

bool LibreOfficeSheetApp::setCaption(const QString &caption) {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    if (caption.isEmpty())
        return true;
    return guarded("无法设置电子表格标题：", [&] {
        uno::Reference<frame::XTitle> title(d->frame(), uno::UNO_QUERY);
        if (title.is())
            title->setTitle(toOU(caption));
        return true;
    });
}

bool LibreOfficeSheetApp::show() {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    return guarded("无法显示电子表格：", [&] {
        if (!d->office.headless()) {
            const auto window = d->frame()->getContainerWindow();
            window->setVisible(true);
            uno::Reference<awt::XTopWindow> top(window, uno::UNO_QUERY);
            if (top.is())
                top->toFront();
        }
        // The spreadsheet is the user's now: this object only keeps the reference (for reading back); neither
        // it nor its destruction closes a visible spreadsheet.
        return true;
    });
}

std::optional<QList<QStringList>> LibreOfficeSheetApp::readTexts(int row, int column, int rows, int columns) {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    if (rows <= 0 || columns <= 0 || row < 0 || column < 0)
        return QList<QStringList>();
    return guarded("读取电子表格失败：", [&]() -> std::optional<QList<QStringList>> {
        const auto range = d->firstSheet()->getCellRangeByPosition(column, row, column + columns - 1, row + rows - 1);
        uno::Reference<sheet::XCellRangeData> data(range, uno::UNO_QUERY_THROW);
        QList<QStringList> result;
        for (const auto &line : data->getDataArray()) {
            QStringList cells;
            for (const auto &value : line) {
                rtl::OUString text;
                double number = 0;
                if (value >>= text)
                    cells << toQ(text);
                else if (value >>= number)
                    cells << QString::number(number, 'g', 15);
                else
                    cells << QString();
            }
            result << cells;
        }
        return result;
    });
}

std::optional<QList<QList<SheetCell>>> LibreOfficeSheetApp::readCells(int row, int column, int rows, int columns) {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    if (rows <= 0 || columns <= 0 || row < 0 || column < 0)
        return QList<QList<SheetCell>>();
    return guarded("读取电子表格失败：", [&]() -> std::optional<QList<QList<SheetCell>>> {
        const auto sheet = d->firstSheet();
        const auto formats = d->numberFormats();
        QList<QList<SheetCell>> result;
        for (int r = row; r < row + rows; ++r) {
            QList<SheetCell> line;
            for (int c = column; c < column + columns; ++c) {
                const auto cell = sheet->getCellByPosition(c, r);
                SheetCell read;
                read.text = toQ(uno::Reference<text::XText>(cell, uno::UNO_QUERY_THROW)->getString());
                if (cell->getType() == table::CellContentType_VALUE) {
                    read.value = cell->getValue();
                    sal_Int32 key = 0;
                    uno::Reference<beans::XPropertySet>(cell, uno::UNO_QUERY_THROW)
                        ->getPropertyValue(ascii("NumberFormat")) >>= key;
                    const auto format = formats->getByKey(key);
                    rtl::OUString code;
                    sal_Int16 type = 0;
                    format->getPropertyValue(ascii("FormatString")) >>= code;
                    format->getPropertyValue(ascii("Type")) >>= type;
                    read.format = toQ(code);
                    read.kind = (type & (util::NumberFormat::DATE | util::NumberFormat::DATETIME)) != 0
                                    ? SheetCell::Kind::Date
                                    : SheetCell::Kind::Number;
                }
                line << read;
            }
            result << line;
        }
        return result;
    });
}

std::optional<double> LibreOfficeSheetApp::sum(int row, int column, int rows, int columns) {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    if (rows <= 0 || columns <= 0 || row < 0 || column < 0)
        return 0.0;
    return guarded("读取电子表格失败：", [&]() -> std::optional<double> {
        const auto range = d->firstSheet()->getCellRangeByPosition(column, row, column + columns - 1, row + rows - 1);
        uno::Reference<sheet::XSheetOperation> operation(range, uno::UNO_QUERY_THROW);
        return operation->computeFunction(sheet::GeneralFunction_SUM);
    });
}

std::optional<int> LibreOfficeSheetApp::columnWidth(int column) {
    clearError();
    if (!d->ready() || column < 0) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    return guarded("读取电子表格失败：", [&]() -> std::optional<int> {
        uno::Reference<table::XColumnRowRange> range(d->firstSheet(), uno::UNO_QUERY_THROW);
        sal_Int32 width = 0;
        uno::Reference<beans::XPropertySet>(range->getColumns()->getByIndex(column), uno::UNO_QUERY_THROW)
            ->getPropertyValue(ascii("Width")) >>= width;
        return int(width);
    });
}

std::optional<int> LibreOfficeSheetApp::sheetCount() {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    return guarded("读取电子表格失败：", [&]() -> std::optional<int> {
        uno::Reference<sheet::XSpreadsheetDocument> spreadsheet(d->document, uno::UNO_QUERY_THROW);
        uno::Reference<container::XIndexAccess> sheets(spreadsheet->getSheets(), uno::UNO_QUERY_THROW);
        return int(sheets->getCount());
    });
}

bool LibreOfficeSheetApp::closeSpreadsheet() {
    clearError();
    if (!d->document.is())
        return true;
    // A spreadsheet the user closed is gone already.
    office_calls::quietly(d->office, [&] { closeUnsaved(d->document); });
    d->document.clear();
    return true;
}

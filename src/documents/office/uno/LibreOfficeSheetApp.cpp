#include "LibreOfficeSheetApp.h"

#include "OfficeInstance.h"
#include "UnoDocuments.h"
#include "UnoSupport.h"

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/sheet/GeneralFunction.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/CellContentType.hpp>
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
class RowHeightsDeferred
{
public:
    explicit RowHeightsDeferred(const uno::Reference<lang::XComponent> &document)
        : mProps(document, uno::UNO_QUERY)
    {
        if (mProps.is())
            mProps->setPropertyValue(ascii("IsAdjustHeightEnabled"), uno::Any(false));
    }
    ~RowHeightsDeferred()
    {
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

bool LibreOfficeSheetApp::connect() {
    clearError();
    QString error;
    if (!d->office.ensureRunning(&error)) {
        d->document.clear();
        return fail(error);
    }
    return true;
}

bool LibreOfficeSheetApp::newSpreadsheet() {
    clearError();
    if (!d->office.alive())
        return fail(notConnected);
    try {
        OfficeInstance::Watch watch(d->office);
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
        return true;
    }
    VANTREL_UNO_GUARD("无法新建电子表格：")
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
    try {
        OfficeInstance::Watch watch(d->office);
        const auto sheet = d->firstSheet();
        QList<sal_Int32> multiLineRows;
        std::optional<RowHeightsDeferred> deferred(std::in_place, d->document);
        for (qsizetype first = 0; first < rows.size(); first += kRowsPerBlock) {
            const qsizetype count = std::min<qsizetype>(kRowsPerBlock, rows.size() - first);
            uno::Sequence<uno::Sequence<uno::Any>> block(static_cast<sal_Int32>(count));
            auto *out = block.getArray();
            for (qsizetype r = 0; r < count; ++r) {
                const QList<SheetCell> &cells = rows.at(first + r);
                if (std::any_of(cells.cbegin(), cells.cend(),
                                [](const SheetCell &cell) { return cell.text.contains(QLatin1Char('\n')); }))
                    multiLineRows << static_cast<sal_Int32>(row + first + r);
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
            const sal_Int32 top = static_cast<sal_Int32>(row + first);
            const auto range = sheet->getCellRangeByPosition(column, top, static_cast<sal_Int32>(column + width - 1),
                                                             static_cast<sal_Int32>(top + count - 1));
            uno::Reference<sheet::XCellRangeData> data(range, uno::UNO_QUERY_THROW);
            data->setDataArray(block);

            // One format call per run of a column's cells that share a format; text cells between them do not
            // break a run, since a number format does not change how a text shows.
            for (qsizetype c = 0; c < width; ++c) {
                QString runFormat;
                qsizetype runFirst = 0;
                qsizetype runLast = 0;
                const auto flush = [&] {
                    if (runFormat.isEmpty())
                        return;
                    const auto cells = sheet->getCellRangeByPosition(
                        static_cast<sal_Int32>(column + c), static_cast<sal_Int32>(top + runFirst),
                        static_cast<sal_Int32>(column + c), static_cast<sal_Int32>(top + runLast));
                    uno::Reference<beans::XPropertySet> props(cells, uno::UNO_QUERY_THROW);
                    props->setPropertyValue(ascii("NumberFormat"), uno::Any(d->formatKey(runFormat)));
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
    }
    VANTREL_UNO_GUARD("写入电子表格失败：")
}

bool LibreOfficeSheetApp::fitColumns(int column, int columns) {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    if (column < 0 || columns <= 0)
        return true;
    try {
        OfficeInstance::Watch watch(d->office);
        uno::Reference<table::XColumnRowRange> range(d->firstSheet(), uno::UNO_QUERY_THROW);
        const auto tableColumns = range->getColumns();
        for (int c = column; c < column + columns; ++c) {
            uno::Reference<beans::XPropertySet> props(tableColumns->getByIndex(c), uno::UNO_QUERY_THROW);
            props->setPropertyValue(ascii("OptimalWidth"), uno::Any(true));
        }
        return true;
    }
    VANTREL_UNO_GUARD("无法调整电子表格的列宽：")
}

bool LibreOfficeSheetApp::setCaption(const QString &caption) {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    if (caption.isEmpty())
        return true;
    try {
        OfficeInstance::Watch watch(d->office);
        uno::Reference<frame::XTitle> title(d->frame(), uno::UNO_QUERY);
        if (title.is())
            title->setTitle(toOU(caption));
        return true;
    }
    VANTREL_UNO_GUARD("无法设置电子表格标题：")
}

bool LibreOfficeSheetApp::show() {
    clearError();
    if (!d->ready())
        return fail(d->office.alive() ? noDocument : notConnected);
    try {
        OfficeInstance::Watch watch(d->office);
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
    }
    VANTREL_UNO_GUARD("无法显示电子表格：")
}

std::optional<QList<QStringList>> LibreOfficeSheetApp::readTexts(int row, int column, int rows, int columns) {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    if (rows <= 0 || columns <= 0 || row < 0 || column < 0)
        return QList<QStringList>();
    try {
        OfficeInstance::Watch watch(d->office);
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
    } catch (const uno::Exception &e) {
        d->office.alive();
        fail(QStringLiteral("读取电子表格失败：") + describe(e));
    }
    return std::nullopt;
}

std::optional<QList<QList<SheetCell>>> LibreOfficeSheetApp::readCells(int row, int column, int rows, int columns) {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    if (rows <= 0 || columns <= 0 || row < 0 || column < 0)
        return QList<QList<SheetCell>>();
    try {
        OfficeInstance::Watch watch(d->office);
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
                    uno::Reference<beans::XPropertySet>(cell, uno::UNO_QUERY_THROW)->getPropertyValue(
                        ascii("NumberFormat")) >>= key;
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
    } catch (const uno::Exception &e) {
        d->office.alive();
        fail(QStringLiteral("读取电子表格失败：") + describe(e));
    }
    return std::nullopt;
}

std::optional<double> LibreOfficeSheetApp::sum(int row, int column, int rows, int columns) {
    clearError();
    if (!d->ready()) {
        fail(d->office.alive() ? noDocument : notConnected);
        return std::nullopt;
    }
    if (rows <= 0 || columns <= 0 || row < 0 || column < 0)
        return 0.0;
    try {
        OfficeInstance::Watch watch(d->office);
        const auto range = d->firstSheet()->getCellRangeByPosition(column, row, column + columns - 1, row + rows - 1);
        uno::Reference<sheet::XSheetOperation> operation(range, uno::UNO_QUERY_THROW);
        return operation->computeFunction(sheet::GeneralFunction_SUM);
    } catch (const uno::Exception &e) {
        d->office.alive();
        fail(QStringLiteral("读取电子表格失败：") + describe(e));
    }
    return std::nullopt;
}

bool LibreOfficeSheetApp::closeSpreadsheet() {
    clearError();
    if (!d->document.is())
        return true;
    try {
        OfficeInstance::Watch watch(d->office);
        closeUnsaved(d->document);
    } catch (...) {
        // Gone already.
    }
    d->document.clear();
    return true;
}

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
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableRows.hpp>

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
        return true;
    }
    VANTREL_UNO_GUARD("无法新建电子表格：")
}

bool LibreOfficeSheetApp::writeTexts(int row, int column, const QList<QStringList> &rows) {
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
                const QStringList &cells = rows.at(first + r);
                if (std::any_of(cells.cbegin(), cells.cend(),
                                [](const QString &text) { return text.contains(QLatin1Char('\n')); }))
                    multiLineRows << static_cast<sal_Int32>(row + first + r);
                uno::Sequence<uno::Any> line(static_cast<sal_Int32>(width));
                auto *cell = line.getArray();
                // A string value is stored as text: the office neither evaluates "=…" nor reads "007" as 7.
                for (qsizetype c = 0; c < width; ++c)
                    cell[c] <<= toOU(c < cells.size() ? cells.at(c) : QString());
                out[r] = line;
            }
            const sal_Int32 top = static_cast<sal_Int32>(row + first);
            const auto range = sheet->getCellRangeByPosition(column, top, static_cast<sal_Int32>(column + width - 1),
                                                             static_cast<sal_Int32>(top + count - 1));
            uno::Reference<sheet::XCellRangeData> data(range, uno::UNO_QUERY_THROW);
            data->setDataArray(block);
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

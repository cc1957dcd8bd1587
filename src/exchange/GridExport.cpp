#include "GridExport.h"

#include "Messages.h"
#include "SheetApp.h"

#ifdef VANTREL_HAVE_LIBREOFFICE
#include "LibreOfficeSheetApp.h"
#endif

#include <QDebug>

#include <algorithm>

namespace {

const QString NotOpenText = QStringLiteral("查询过程没有执行，没有数据库可以发送！");
const QString NoSpreadsheetText = QStringLiteral("系统不能连接到Excel,请确认Excel是否安装！");

GridExport::SheetAppFactory &sheetAppFactory() {
    static GridExport::SheetAppFactory factory;
    return factory;
}

} // namespace

GridExport::GridExport(SheetApp &sheet, Messages &messages)
    : mSheet(sheet)
    , mMessages(messages) {}

GridExport::Result GridExport::send(const QString &title, const GridContent &grid, const MoveToRecord &moveToRecord) {
    if (!grid.isOpen) {
        mMessages.warning(NotOpenText);
        return Result::NotOpen;
    }
    if (!mSheet.connect() || !mSheet.newSpreadsheet()) {
        qWarning().noquote() << "spreadsheet program not reachable:" << mSheet.lastError();
        mMessages.warning(NoSpreadsheetText);
        return Result::NoSpreadsheet;
    }

    QList<int> visible;
    QStringList header;
    for (int c = 0; c < grid.columns.size(); ++c) {
        if (grid.columns.at(c).visible) {
            visible.append(c);
            header.append(grid.columns.at(c).title);
        }
    }

    // The title goes to the first cell and the first caption then takes its place; with no visible column it
    // stays there alone.
    if (!mSheet.writeTexts(0, 0, {QStringList{title}}))
        return failed();
    if (!header.isEmpty() && !mSheet.writeTexts(0, 0, {header}))
        return failed();

    if (!visible.isEmpty()) {
        const qsizetype total = grid.rows.size();
        QList<QStringList> block;
        for (qsizetype first = 0; first < total; first += RowsPerBlock) {
            const qsizetype count = std::min<qsizetype>(RowsPerBlock, total - first);
            block.clear();
            block.reserve(count);
            for (qsizetype r = first; r < first + count; ++r) {
                const QStringList &cells = grid.rows.at(r);
                QStringList line;
                line.reserve(visible.size());
                for (int c : visible)
                    line.append(cells.value(c));
                block.append(line);
            }
            if (!mSheet.writeTexts(int(first) + 1, 0, block))
                return failed();
        }
    }
    if (!grid.rows.isEmpty() && moveToRecord)
        moveToRecord(int(grid.rows.size()) - 1);

    if (!mSheet.setCaption(title) || !mSheet.show())
        return failed();
    return Result::Sent;
}

GridExport::Result GridExport::failed() {
    const QString error = mSheet.lastError();
    // What has arrived is shown rather than left in a hidden window the user could never close.
    mSheet.show();
    mMessages.warning(QStringLiteral("向Excel发送数据发生错误！") + u'\r' + error);
    return Result::Failed;
}

void GridExport::setSheetAppFactory(SheetAppFactory factory) {
    sheetAppFactory() = std::move(factory);
}

std::unique_ptr<SheetApp> GridExport::createSheetApp() {
    if (sheetAppFactory())
        return sheetAppFactory()();
#ifdef VANTREL_HAVE_LIBREOFFICE
    return std::make_unique<LibreOfficeSheetApp>();
#else
    return nullptr;
#endif
}

void SendGridToExcel(const QString &title, const GridContent &grid, const GridExport::MoveToRecord &moveToRecord) {
    Messages &messages = Messages::instance();
    if (!grid.isOpen) {
        messages.warning(NotOpenText);
        return;
    }
    const std::unique_ptr<SheetApp> sheet = GridExport::createSheetApp();
    if (!sheet) {
        messages.warning(NoSpreadsheetText);
        return;
    }
    GridExport(*sheet, messages).send(title, grid, moveToRecord);
}

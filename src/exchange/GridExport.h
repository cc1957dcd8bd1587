#pragma once

#include "GridContent.h"

#include <QString>

#include <functional>
#include <memory>

class Messages;
class SheetApp;

// Sends what a grid shows to a new spreadsheet and hands it to the user unsaved: row 1 holds the titles of the
// visible columns, one row per record follows; hidden columns leave no gap. Every cell goes over as text that
// the spreadsheet never evaluates, block by block rather than cell by cell.
class GridExport {
public:
    enum class Result {
        Sent,
        NotOpen,       // the grid's dataset was never opened; the spreadsheet program was not started
        NoSpreadsheet, // the spreadsheet program could not be reached or could not make a spreadsheet
        Failed,        // it failed while the cells went over; the user was told why
    };

    // Makes the spreadsheet program an export talks to; null when this build has none.
    using SheetAppFactory = std::function<std::unique_ptr<SheetApp>()>;
    // Called with the grid row the dataset is left on (its last record) once every record has gone over.
    using MoveToRecord = std::function<void(int row)>;

    GridExport(SheetApp &sheet, Messages &messages);

    Result send(const QString &title, const GridContent &grid, const MoveToRecord &moveToRecord = {});

    // Records per block handed to the spreadsheet in one call.
    static constexpr int RowsPerBlock = 2000;

    // LibreOffice Calc where the build has it; tests and benchmarks put their own here (an empty one restores
    // the default).
    static void setSheetAppFactory(SheetAppFactory factory);
    static std::unique_ptr<SheetApp> createSheetApp();

private:
    Result failed();

    SheetApp &mSheet;
    Messages &mMessages;
};

// The register's "发送到Excel": the title (the register passes an empty one) and what its grid shows. The
// spreadsheet program comes from GridExport::createSheetApp(), messages go to Messages::instance().
void SendGridToExcel(const QString &title, const GridContent &grid, const GridExport::MoveToRecord &moveToRecord = {});

#pragma once

#include "exchange/preview/GridContent.h"
#include "office/SheetApp.h"

#include <QString>

#include <functional>
#include <memory>

class SheetApp;

// Sends what a grid shows to a new spreadsheet and hands it to the user unsaved: row 1 holds the titles of the
// visible columns, one row per record follows; hidden columns leave no gap. A shown text that reads as a number
// or a date goes over as one, shown in the same form, so the spreadsheet can sum and sort it; every other text
// stays a text the spreadsheet never evaluates. Cells go over block by block rather than cell by cell, and the
// columns are made wide enough for their contents at the end.
class GridExport {
public:
    enum class Result {
        Sent,
        NotOpen,       // the grid's dataset was never opened; the spreadsheet program was not started
        NoSpreadsheet, // the spreadsheet program could not be reached or could not make a spreadsheet
        Failed,        // it failed while the cells went over; the user was told why
    };

    // Makes the spreadsheet program an export talks to; null when it cannot be had.
    using SheetAppFactory = std::function<std::unique_ptr<SheetApp>()>;
    // Called with the grid row the dataset is left on (its last record) once every record has gone over.
    using MoveToRecord = std::function<void(int row)>;

    explicit GridExport(SheetApp &sheet);

    Result send(const QString &title, const GridContent &grid, const MoveToRecord &moveToRecord = {});

    // What a shown text becomes in the spreadsheet. A number is a plain decimal ("4200", "-68.20") of at most 15
    // significant digits without leading zeros ("007" and long identity numbers stay texts); a date is
    // "yyyy-M-d", "yyyy/M/d" or "yyyy年M月d日" with an optional time of day "H:mm" or "H:mm:ss". Either keeps
    // its form as the cell's number format.
    static SheetCell cellFor(const QString &text);

    // Records per block handed to the spreadsheet in one call.
    static constexpr int RowsPerBlock = 2000;

private:
    Result failed();

    SheetApp &mSheet;
};

// The register's "发送到Excel": the title (the register passes an empty one) and what its grid shows, into a
// spreadsheet program made by newSheet; messages go to Messages::instance().
void sendGridToSpreadsheet(const GridExport::SheetAppFactory &newSheet, const QString &title, const GridContent &grid,
                           const GridExport::MoveToRecord &moveToRecord = {});

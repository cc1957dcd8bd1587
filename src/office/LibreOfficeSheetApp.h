#pragma once

#include "office/SheetApp.h"

#include <memory>

// SheetApp on LibreOffice Calc through its C++ UNO interface. The visible office is shared by every export of
// the user's session (one profile and pipe per user) and stays when this object goes, so the spreadsheets it
// shows remain open; a headless one (tests) belongs to this object and ends with it.
class LibreOfficeSheetApp final : public SheetApp {
public:
    enum class Display {
        FromEnvironment, // headless when VANTREL_OFFICE_HEADLESS=1, else visible
        Visible,
        Headless,
    };

    explicit LibreOfficeSheetApp(Display display = Display::FromEnvironment);
    ~LibreOfficeSheetApp() override;

    bool connect() override;
    bool newSpreadsheet() override;
    bool writeTexts(int row, int column, const QList<QStringList> &rows) override;
    bool writeCells(int row, int column, const QList<QList<SheetCell>> &rows) override;
    bool fitColumns(int column, int columns) override;
    bool setCaption(const QString &caption) override;
    bool show() override;
    std::optional<QList<QStringList>> readTexts(int row, int column, int rows, int columns) override;
    std::optional<QList<QList<SheetCell>>> readCells(int row, int column, int rows, int columns) override;

    // The sum the spreadsheet itself computes over a block (what its status bar shows for a selection).
    std::optional<double> sum(int row, int column, int rows, int columns);
    // A column's width in hundredths of a millimetre, and how many sheets the spreadsheet has.
    std::optional<int> columnWidth(int column);
    std::optional<int> sheetCount();

    // Closes this object's spreadsheet unsaved (tests; a user's spreadsheet is left to the user).
    bool closeSpreadsheet();

private:
    // Runs the remote calls of one operation under the office's watchdog; what they throw becomes a failure whose
    // text starts with what.
    template <typename Body> auto guarded(const char *what, Body &&body) -> decltype(body());
    struct Private;
    std::unique_ptr<Private> d;
};

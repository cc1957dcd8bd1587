#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One cell as the export hands it over: a text, or a number or date with the number format that shows it the way
// the grid did. A date is counted in days from 1899-12-30, the fraction being the time of day.
struct SheetCell {
    enum class Kind { Text, Number, Date };

    Kind kind = Kind::Text;
    // The text of a text cell; for a number or date the form it shows (kept so a reader can compare).
    QString text;
    double value = 0;
    // The spreadsheet's number format code ("0.00", "YYYY-MM-DD"); empty for text.
    QString format;

    static SheetCell fromText(const QString &text) { return {Kind::Text, text, 0, QString()}; }
    bool operator==(const SheetCell &other) const = default;
};

// The spreadsheet program as the export uses it: a new spreadsheet filled in bulk, then handed to the user
// unsaved. Every operation reports failure by its result and leaves the reason in lastError(); nothing throws.
class SheetApp {
public:
    SheetApp() = default;
    virtual ~SheetApp();
    SheetApp(const SheetApp &) = delete;
    SheetApp &operator=(const SheetApp &) = delete;

    // Starts or reaches the spreadsheet program. False when it cannot be started or reached.
    virtual bool connect() = 0;
    // A new spreadsheet document with one sheet; it becomes this object's document.
    virtual bool newSpreadsheet() = 0;
    // Writes a block of texts into the first sheet, top-left cell at (row, column), both from 0. Every cell is
    // a text as given: nothing is evaluated or converted ("=1+1" stays the text "=1+1", "007" keeps its zeros).
    // Short rows are padded with empty cells.
    virtual bool writeTexts(int row, int column, const QList<QStringList> &rows) = 0;
    // Writes a block of typed cells into the first sheet like writeTexts: a text cell is never evaluated, a number
    // or date cell holds its value and shows it with its format code.
    virtual bool writeCells(int row, int column, const QList<QList<SheetCell>> &rows) = 0;
    // Makes the given columns of the first sheet wide enough for their contents.
    virtual bool fitColumns(int column, int columns) = 0;
    // The window's caption; an empty caption leaves the program's own.
    virtual bool setCaption(const QString &caption) = 0;
    // Shows the document to the user; it stays open and unsaved, and this object keeps no hold on it.
    virtual bool show() = 0;
    // Reads back a block of the first sheet; numbers and formula results come as their value written out.
    virtual std::optional<QList<QStringList>> readTexts(int row, int column, int rows, int columns) = 0;
    // Reads back a block of typed cells: kind and value as the sheet holds them, text as the sheet shows it,
    // format as the code of the cell's number format (empty for a text cell).
    virtual std::optional<QList<QList<SheetCell>>> readCells(int row, int column, int rows, int columns) = 0;

    QString lastError() const { return mLastError; }

protected:
    bool fail(const QString &error);
    void clearError() { mLastError.clear(); }

private:
    QString mLastError;
};

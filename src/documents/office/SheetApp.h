#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

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
    // The window's caption; an empty caption leaves the program's own.
    virtual bool setCaption(const QString &caption) = 0;
    // Shows the document to the user; it stays open and unsaved, and this object keeps no hold on it.
    virtual bool show() = 0;
    // Reads back a block of the first sheet; numbers and formula results come as their value written out.
    virtual std::optional<QList<QStringList>> readTexts(int row, int column, int rows, int columns) = 0;

    QString lastError() const { return mLastError; }

protected:
    bool fail(const QString &error);
    void clearError() { mLastError.clear(); }

private:
    QString mLastError;
};

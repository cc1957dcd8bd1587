#pragma once

#include "office/SheetApp.h"

#include <QMap>
#include <QPair>
#include <QSet>

// An in-process SheetApp for tests: the cells live in memory, calls are recorded, operations can fail.
class StandInSheetApp final : public SheetApp {
public:
    StandInSheetApp() = default;

    bool connect() override;
    bool newSpreadsheet() override;
    bool writeTexts(int row, int column, const QList<QStringList> &rows) override;
    bool writeCells(int row, int column, const QList<QList<SheetCell>> &rows) override;
    bool fitColumns(int column, int columns) override;
    bool setCaption(const QString &caption) override;
    bool show() override;
    std::optional<QList<QStringList>> readTexts(int row, int column, int rows, int columns) override;
    std::optional<QList<QList<SheetCell>>> readCells(int row, int column, int rows, int columns) override;

    // Operations by name ("connect", "newSpreadsheet", "writeTexts", …) that fail from now on.
    void setFailing(const QString &operation, bool failing = true);
    QStringList calls() const { return mCalls; }
    QString caption() const { return mCaption; }
    bool isShown() const { return mShown; }
    // Used rows and columns (the bottom-right filled cell + 1).
    int rowCount() const;
    int columnCount() const;
    QString cell(int row, int column) const { return mCells.value({row, column}).text; }
    SheetCell typedCell(int row, int column) const { return mCells.value({row, column}); }
    // Columns made wide enough for their contents, in the order asked.
    QList<int> fittedColumns() const { return mFitted; }

private:
    bool begin(const QString &operation, bool needsDocument);

    QStringList mCalls;
    QSet<QString> mFailing;
    bool mConnected = false;
    bool mHasDocument = false;
    bool mShown = false;
    QString mCaption;
    QMap<QPair<int, int>, SheetCell> mCells;
    QList<int> mFitted;
};

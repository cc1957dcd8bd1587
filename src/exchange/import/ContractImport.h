#pragma once

#include "exchange/import/ImportMappingModel.h"
#include "exchange/import/WorksheetModel.h"
#include "exchange/workbook/WorkbookReader.h"

#include <QObject>
#include <QStringList>

#include <optional>

class Database;

// What the import dialog "合同数据导入" does: open a workbook, choose a worksheet, map worksheet columns to the
// category's indicators (automatically by name, letter case aside, or by hand), and append one contract record
// per worksheet row. The import runs in one transaction: every row is stored, or none is and the message names
// the worksheet row that failed. Number and date values are written in the indicator's form, as the entry
// dialog writes them; a value that does not read as one is stored as it is and the completion message names its
// row. Messages go through Messages; the dialog only forwards events.
class ContractImport : public QObject {
    Q_OBJECT

public:
    ContractImport(Database &database, const QString &categoryCode, QObject *parent = nullptr);

    // Where the file dialog starts: the BasicExcel folder of the application folder.
    QString basicExcelFolder() const;
    static QString fileDialogTitle() { return QStringLiteral("选择用来导入的数据文件"); }
    static QString fileDialogFilter() { return QStringLiteral("Excel 数据文件 (*.xls *.xlsx)"); }

    // "选择合同数据表": asks for the file and opens it. False when cancelled or the file cannot be read.
    bool chooseFile();
    // The same for a known path (steps after the file dialog).
    bool openFile(const QString &path);
    // The chosen worksheet replaces the current one and the mapping is built again.
    bool chooseSheet(const QString &sheetName);
    // Builds the mapping rows, the column menu and the automatic match for the current worksheet.
    void buildColumnMenu();
    // The automatic match: every mapping row gets the first worksheet column named like its indicator, letter case
    // aside.
    void automaticMatch();
    // "对应设定": true when the column menu can open; otherwise tells the user to choose a file first.
    bool prepareColumnMenu();
    // The worksheet column chosen in the column menu for the current mapping row.
    void mapCurrentRowTo(const QString &column);
    // "导入(&L)": appends the worksheet's rows as contract records. True when they were stored.
    bool importRows();

    enum class Outcome { Unchanged, Written, Rounded, Unreadable };
    // A worksheet value in the form of an indicator of the given PropertyType and display format: a number with
    // the decimals of its mask, a date with its date format; texts, empty values and values that do not read as
    // the indicator's type come back unchanged (Unreadable for the latter).
    static QString formattedValue(const QString &text, int type, const QString &format, Outcome *outcome);

    QString categoryCode() const { return mCategoryCode; }
    QStringList sheetNames() const { return mSheetNames; }
    bool sheetChooserEnabled() const { return mChooserEnabled; }
    bool hasWorksheet() const { return mSheet.has_value(); }
    QString currentSheetName() const { return mSheet ? mSheet->name : QString(); }
    const std::optional<Worksheet> &worksheet() const { return mSheet; }
    QStringList menuItems() const { return mMenuItems; }
    int currentRow() const { return mCurrentRow; }
    void setCurrentRow(int row) { mCurrentRow = row; }

    ImportMappingModel *mappingModel() { return &mMapping; }
    WorksheetModel *worksheetModel() { return &mSheetModel; }

Q_SIGNALS:
    // The sheet list or chooser state changed (a file was opened).
    void workbookChanged();
    void menuChanged();

private:
    bool storeRows(QString *message, QStringList *unreadable, QStringList *rounded);

    Database &mDb;
    QString mCategoryCode;
    WorkbookReader mReader;
    QStringList mSheetNames;
    bool mChooserEnabled = false;
    std::optional<Worksheet> mSheet;
    QStringList mMenuItems;
    int mCurrentRow = -1;
    ImportMappingModel mMapping;
    WorksheetModel mSheetModel;
};

#pragma once

#include "exchange/workbook/CellText.h"
#include "exchange/workbook/WorkbookSource.h"

#include <QByteArray>
#include <QList>

#include <memory>

// Excel 97-2003 workbooks (.xls, BIFF8) read straight from the records of the file's Workbook stream: sheet list,
// shared strings, numbers, dates (by the cell's number format), texts, formula results and booleans. Every length
// and offset comes from the file and is checked; a record running off its stream makes the file damaged.
class BiffWorkbook : public WorkbookSource {
public:
    enum class Outcome { Opened, OlderFormat, Failed };

    // OlderFormat: a workbook of Excel 95 or earlier (no BIFF8 Workbook stream), which this reader leaves to FreeXL.
    static std::unique_ptr<BiffWorkbook> open(const QByteArray &file, QString *error, Outcome *outcome);

    QStringList sheetNames() const override;
    std::optional<Worksheet> readSheet(int index, QString *error) override;

private:
    BiffWorkbook() = default;
    bool readGlobals(QString *error);

    QByteArray mStream;
    QStringList mSheetNames;
    QList<quint32> mSheetOffsets;
    QStringList mSharedStrings;
    CellText::NumberCells mNumbers;
};

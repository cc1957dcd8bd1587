#pragma once

#include "exchange/workbook/WorkbookSource.h"

#include <memory>

// Workbooks of Excel 95 and earlier through FreeXL (Excel 97-2003 workbooks are read by BiffWorkbook).
class XlsWorkbook : public WorkbookSource {
public:
    static std::unique_ptr<XlsWorkbook> open(const QString &path, QString *error);
    ~XlsWorkbook() override;

    QStringList sheetNames() const override;
    std::optional<Worksheet> readSheet(int index, QString *error) override;

private:
    XlsWorkbook() = default;
    const void *mHandle = nullptr;
    QStringList mSheetNames;
};

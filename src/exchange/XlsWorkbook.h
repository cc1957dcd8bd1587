#pragma once

#include "BiffExtraCells.h"
#include "WorkbookSource.h"

#include <memory>

// Excel 97-2003 workbooks (.xls) through FreeXL.
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
    // Formula results and booleans, which FreeXL does not report.
    QHash<QString, QList<BiffExtraCells::Cell>> mExtraCells;
};

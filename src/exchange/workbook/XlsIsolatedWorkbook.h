#pragma once

#include "exchange/workbook/WorkbookSource.h"

#include <QList>

#include <memory>

// An .xls workbook read by the helper program vantrel_xlsread beside the executable: FreeXL has read overruns on
// crafted files, and a crash there must only cost the helper. All sheets are read at once and kept.
class XlsIsolatedWorkbook : public WorkbookSource {
public:
    // The helper's path; empty when it is not installed beside the executable.
    static QString helperPath();
    static std::unique_ptr<XlsIsolatedWorkbook> open(const QString &helper, const QString &path, QString *error);

    QStringList sheetNames() const override { return mNames; }
    std::optional<Worksheet> readSheet(int index, QString *error) override;

private:
    struct Sheet {
        std::optional<Worksheet> sheet;
        QString error;
    };
    QStringList mNames;
    QList<Sheet> mSheets;
};

#pragma once

#include "exchange/workbook/Worksheet.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class WorkbookSource;

// Reads the worksheets of an Excel workbook, .xls (Excel 97-2003) or .xlsx (Excel 2007 and later); the format is
// recognised from the file's content, not its name. Damaged or foreign files (a renamed text file, a truncated
// workbook, a workbook with a password) make open() fail with a message; nothing here throws or aborts.
class WorkbookReader {
public:
    WorkbookReader();
    ~WorkbookReader();
    WorkbookReader(const WorkbookReader &) = delete;
    WorkbookReader &operator=(const WorkbookReader &) = delete;

    bool open(const QString &path);
    // The same from a file's content.
    bool openData(const QByteArray &data);
    void close();
    bool isOpen() const;

    QString errorString() const { return mError; }
    QStringList sheetNames() const;

    // The first used row gives the column names; every further used row one record of texts.
    std::optional<Worksheet> readSheet(int index);
    std::optional<Worksheet> readSheet(const QString &name);

private:
    // path may be empty when the content does not come from a file.
    bool openXls(const QByteArray &data, const QString &path);
    bool checkOpened();

    std::unique_ptr<WorkbookSource> mSource;
    QString mError;
};

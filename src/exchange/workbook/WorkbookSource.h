#pragma once

#include "exchange/workbook/Worksheet.h"

#include <QString>
#include <QStringList>

#include <optional>

// One workbook file format. Implementations never throw and never trust the file: every failure comes back
// as a result with a message.
class WorkbookSource {
public:
    virtual ~WorkbookSource() = default;
    virtual QStringList sheetNames() const = 0;
    virtual std::optional<Worksheet> readSheet(int index, QString *error) = 0;
};

#pragma once

#include "exchange/workbook/CellText.h"
#include "exchange/workbook/WorkbookSource.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <memory>

struct zip;

// Excel 2007+ workbooks (.xlsx): the XML parts of the ZIP package. The large parts (shared strings and sheet
// cells) go through XlsxScanner, the rest and anything the scanner leaves through QXmlStreamReader.
class XlsxWorkbook : public WorkbookSource {
public:
    // The package is read from memory; the data is copied.
    static std::unique_ptr<XlsxWorkbook> open(const QByteArray &data, QString *error);
    ~XlsxWorkbook() override;

    QStringList sheetNames() const override;
    std::optional<Worksheet> readSheet(int index, QString *error) override;

    // Cell styles whose number format shows a date or time; exposed for tests.
    static bool isDateFormat(int numFmtId, const QString &formatCode);

private:
    XlsxWorkbook() = default;
    struct Relationship {
        QString id;
        QString kind; // last segment of the relationship type: worksheet, styles, sharedStrings, ...
        QString target;
    };

    std::optional<QByteArray> entry(const QString &name, QString *error) const;
    std::optional<QList<Relationship>> readRelationships(const QString &partName, QString *error) const;
    bool readWorkbook(QString *error);
    bool readSharedStrings(const QString &partName, QString *error);
    bool readStyles(const QString &partName, QString *error);
    std::optional<Worksheet> parseSheet(const QByteArray &content, const QString &sheetName, QString *error);

    enum class CellOutcome { Text, Empty, MissingString };
    CellOutcome cellText(QStringView type, const QString &value, bool hasValue, const QString &inlineText, qint64 style,
                         QString *text);

    QByteArray mData;
    zip *mZip = nullptr;
    QStringList mSheetNames;
    QStringList mSheetParts;
    QStringList mSharedStrings;
    CellText::NumberCells mNumbers;
};

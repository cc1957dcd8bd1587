#include "exchange/workbook/XlsWorkbook.h"

#include "exchange/workbook/CellText.h"
#include "exchange/workbook/SheetBuilder.h"

#include <QFile>

#include <freexl.h>

namespace {

QString cellText(const FreeXL_CellValue &value) {
    switch (value.type) {
    case FREEXL_CELL_INT:
        return QString::number(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return CellText::fromNumber(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return value.value.text_value ? QString::fromUtf8(value.value.text_value) : QString();
    case FREEXL_CELL_DATE:
        return CellText::fromDateTime(QDate::fromString(QString::fromLatin1(value.value.text_value), Qt::ISODate),
                                      QTime());
    case FREEXL_CELL_DATETIME: {
        const QDateTime moment =
            QDateTime::fromString(QString::fromLatin1(value.value.text_value), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return CellText::fromDateTime(moment.date(), moment.time());
    }
    case FREEXL_CELL_TIME:
        return CellText::fromDateTime(
            QDate(), QTime::fromString(QString::fromLatin1(value.value.text_value), QStringLiteral("HH:mm:ss")));
    default:
        return {};
    }
}

} // namespace

std::unique_ptr<XlsWorkbook> XlsWorkbook::open(const QString &path, QString *error) {
    std::unique_ptr<XlsWorkbook> book(new XlsWorkbook);
    const QByteArray nativePath = QFile::encodeName(path);
    const int opened = freexl_open(nativePath.constData(), &book->mHandle);
    if (opened != FREEXL_OK) {
        if (error)
            *error = opened == FREEXL_FILE_NOT_FOUND
                         ? QStringLiteral("文件不存在或无法打开。")
                         : QStringLiteral("文件不是可以读取的Excel工作簿（错误 %1）。").arg(opened);
        return nullptr;
    }
    unsigned int info = 0;
    if (freexl_get_info(book->mHandle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        if (error)
            *error = QStringLiteral("工作簿设有密码，无法读取。");
        return nullptr;
    }
    unsigned int count = 0;
    if (freexl_get_info(book->mHandle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) {
        if (error)
            *error = QStringLiteral("文件不是可以读取的Excel工作簿。");
        return nullptr;
    }
    for (unsigned int i = 0; i < count && i < 65536; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(book->mHandle, static_cast<unsigned short>(i), &name) != FREEXL_OK)
            break;
        book->mSheetNames.append(name ? QString::fromUtf8(name) : QString());
    }
    return book;
}

XlsWorkbook::~XlsWorkbook() {
    // FreeXL wants the handle closed even when opening failed.
    if (mHandle)
        freexl_close(mHandle);
}

QStringList XlsWorkbook::sheetNames() const {
    return mSheetNames;
}

std::optional<Worksheet> XlsWorkbook::readSheet(int index, QString *error) {
    if (index < 0 || index >= mSheetNames.size()) {
        if (error)
            *error = QStringLiteral("工作簿中没有这个工作表。");
        return std::nullopt;
    }
    unsigned int lastRow = 0;
    unsigned short lastColumn = 0;
    if (freexl_select_active_worksheet(mHandle, static_cast<unsigned short>(index)) != FREEXL_OK ||
        freexl_worksheet_dimensions(mHandle, &lastRow, &lastColumn) != FREEXL_OK) {
        if (error)
            *error = QStringLiteral("工作表“%1”无法读取。").arg(mSheetNames.at(index));
        return std::nullopt;
    }
    // FreeXL reports the dimensions as row and column counts.
    SheetBuilder builder;
    for (unsigned int row = 0; row < lastRow; ++row) {
        for (unsigned short column = 0; column < lastColumn; ++column) {
            FreeXL_CellValue value;
            const int got = freexl_get_cell_value(mHandle, row, column, &value);
            if (got != FREEXL_OK) {
                if (error)
                    *error = QStringLiteral("工作表“%1”的第%2行无法读取（错误 %3）。")
                                 .arg(mSheetNames.at(index))
                                 .arg(row + 1)
                                 .arg(got);
                return std::nullopt;
            }
            if (!builder.setCell(row, column, cellText(value))) {
                if (error)
                    *error = QStringLiteral("工作表“%1”的数据太多，无法读取。").arg(mSheetNames.at(index));
                return std::nullopt;
            }
        }
    }
    return builder.build(mSheetNames.at(index), error);
}

#include "exchange/workbook/WorkbookReader.h"

#include "exchange/workbook/BiffWorkbook.h"
#include "exchange/workbook/XlsIsolatedWorkbook.h"
#include "exchange/workbook/XlsWorkbook.h"
#include "exchange/workbook/XlsxWorkbook.h"

#include <QFile>
#include <QTemporaryFile>

namespace {

const QByteArray ZipSignature("PK\x03\x04", 4);
const QByteArray CompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// Compound files hold .xls workbooks, but also password-protected .xlsx packages and Word documents.
bool isEncryptedPackage(const QByteArray &data) {
    return data.contains(QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e", 31));
}

} // namespace

WorkbookReader::WorkbookReader() = default;
WorkbookReader::~WorkbookReader() = default;

bool WorkbookReader::open(const QString &path) {
    close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        mError = QStringLiteral("文件无法打开：%1").arg(file.errorString());
        return false;
    }
    const QByteArray head = file.read(8);
    if (head.startsWith(ZipSignature)) {
        const QByteArray data = file.readAll();
        return openData(head + data);
    }
    if (head == CompoundFileSignature) {
        const QByteArray data = head + file.readAll();
        file.close();
        return openXls(data, path);
    }
    mError = QStringLiteral("文件不是Excel工作簿。");
    return false;
}

bool WorkbookReader::openData(const QByteArray &data) {
    close();
    if (data.startsWith(ZipSignature)) {
        mSource = XlsxWorkbook::open(data, &mError);
        return checkOpened();
    }
    if (data.startsWith(CompoundFileSignature))
        return openXls(data, QString());
    mError = QStringLiteral("文件不是Excel工作簿。");
    return false;
}

bool WorkbookReader::openXls(const QByteArray &data, const QString &path) {
    if (isEncryptedPackage(data)) {
        mError = QStringLiteral("工作簿设有密码，无法读取。");
        return false;
    }
    BiffWorkbook::Outcome outcome = BiffWorkbook::Outcome::Failed;
    mSource = BiffWorkbook::open(data, &mError, &outcome);
    if (outcome != BiffWorkbook::Outcome::OlderFormat)
        return checkOpened();

    // Excel 95 and older workbooks go to FreeXL, which reads only files, in a process of its own where one is
    // installed.
    mError.clear();
    QTemporaryFile copy;
    QString file = path;
    if (file.isEmpty()) {
        if (!copy.open() || copy.write(data) != data.size() || !copy.flush()) {
            mError = QStringLiteral("临时文件无法写入。");
            return false;
        }
        file = copy.fileName();
    }
    const QString helper = XlsIsolatedWorkbook::helperPath();
    if (helper.isEmpty())
        mSource = XlsWorkbook::open(file, &mError);
    else
        mSource = XlsIsolatedWorkbook::open(helper, file, &mError);
    return checkOpened();
}

bool WorkbookReader::checkOpened() {
    if (mSource && mSource->sheetNames().isEmpty()) {
        mSource.reset();
        mError = QStringLiteral("工作簿中没有可以读取的工作表。");
    }
    return mSource != nullptr;
}

void WorkbookReader::close() {
    mSource.reset();
    mError.clear();
}

bool WorkbookReader::isOpen() const {
    return mSource != nullptr;
}

QStringList WorkbookReader::sheetNames() const {
    return mSource ? mSource->sheetNames() : QStringList();
}

std::optional<Worksheet> WorkbookReader::readSheet(int index) {
    if (!mSource) {
        mError = QStringLiteral("没有打开工作簿。");
        return std::nullopt;
    }
    mError.clear();
    return mSource->readSheet(index, &mError);
}

std::optional<Worksheet> WorkbookReader::readSheet(const QString &name) {
    return readSheet(int(sheetNames().indexOf(name)));
}

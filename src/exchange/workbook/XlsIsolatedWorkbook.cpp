#include "exchange/workbook/XlsIsolatedWorkbook.h"

#include "exchange/workbook/XlsHelperProtocol.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

using namespace XlsHelperProtocol;

namespace {

// Large workbooks take a few seconds; a helper caught in a loop is stopped.
constexpr int HelperTimeoutMs = 120000;

} // namespace

QString XlsIsolatedWorkbook::helperPath() {
    if (!QCoreApplication::instance())
        return {};
    const QFileInfo helper(QCoreApplication::applicationDirPath() + QStringLiteral("/vantrel_xlsread"));
    return helper.isExecutable() ? helper.absoluteFilePath() : QString();
}

std::unique_ptr<XlsIsolatedWorkbook> XlsIsolatedWorkbook::open(const QString &helper, const QString &path,
                                                               QString *error) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(helper, {path});
    const bool finished = process.waitForStarted() && process.waitForFinished(HelperTimeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("文件不是可以读取的Excel工作簿（读取时出错）。");
        return nullptr;
    }

    QByteArray output = process.readAllStandardOutput();
    QDataStream in(&output, QIODevice::ReadOnly);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    bool opened = false;
    QString openError;
    in >> magic >> opened >> openError;
    if (in.status() != QDataStream::Ok || magic != Magic) {
        if (error)
            *error = QStringLiteral("文件不是可以读取的Excel工作簿（读取时出错）。");
        return nullptr;
    }
    if (!opened) {
        if (error)
            *error = openError;
        return nullptr;
    }
    std::unique_ptr<XlsIsolatedWorkbook> book(new XlsIsolatedWorkbook);
    in >> book->mNames;
    for (qsizetype i = 0; i < book->mNames.size() && in.status() == QDataStream::Ok; ++i) {
        Sheet entry;
        bool ok = false;
        in >> ok >> entry.error;
        if (ok) {
            Worksheet sheet;
            in >> sheet;
            entry.sheet = sheet;
        }
        book->mSheets.append(entry);
    }
    if (in.status() != QDataStream::Ok || book->mSheets.size() != book->mNames.size()) {
        if (error)
            *error = QStringLiteral("文件不是可以读取的Excel工作簿（读取时出错）。");
        return nullptr;
    }
    return book;
}

std::optional<Worksheet> XlsIsolatedWorkbook::readSheet(int index, QString *error) {
    if (index < 0 || index >= mSheets.size()) {
        if (error)
            *error = QStringLiteral("工作簿中没有这个工作表。");
        return std::nullopt;
    }
    if (!mSheets.at(index).sheet && error)
        *error = mSheets.at(index).error;
    return mSheets.at(index).sheet;
}

#include "office/StandInWordApp.h"

#include "package/PackageTemplate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

bool StandInWordApp::begin(const QString &operation, const QString &argument, bool needsDocument) {
    clearError();
    mCalls << (argument.isNull() ? operation : operation + QLatin1Char(':') + argument);
    if (mFailing.contains(operation))
        return fail(QStringLiteral("模拟的办公软件错误：") + operation);
    if (mHanging.contains(operation)) {
        mConnected = false;
        mHasDocument = false;
        return fail(operation + QStringLiteral("：办公软件没有响应，已被结束"));
    }
    if (operation != QLatin1String("connect") && !mConnected)
        return fail(QStringLiteral("办公软件没有连接或已经关闭"));
    if (needsDocument && !mHasDocument)
        return fail(QStringLiteral("办公软件中没有打开的文档"));
    return true;
}

bool StandInWordApp::isStarting() {
    if (mStartingPolls <= 0)
        return false;
    --mStartingPolls;
    return true;
}

bool StandInWordApp::connect() {
    if (!begin(QStringLiteral("connect"), QString(), false))
        return false;
    mConnected = true;
    return true;
}

bool StandInWordApp::arrange() {
    if (!begin(QStringLiteral("arrange"), QString(), false))
        return false;
    mArranged = true;
    return true;
}

bool StandInWordApp::open(const QString &path) {
    if (!begin(QStringLiteral("open"), path, false))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("文件不存在：") + QDir::toNativeSeparators(path));
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError() || bytes.contains('\0'))
        text.clear();
    mText = text;
    mPath = path;
    mHasDocument = true;
    mModified = false;
    mInsertionPoint = 0;
    return true;
}

bool StandInWordApp::encloseSelection(const QString &before, const QString &after) {
    if (!begin(QStringLiteral("encloseSelection"), before + QStringLiteral("…") + after))
        return false;
    const int at = std::clamp(mInsertionPoint, 0, static_cast<int>(mText.size()));
    const int end = std::clamp(at + mSelectionLength, at, static_cast<int>(mText.size()));
    mText.insert(end, after);
    mText.insert(at, before);
    mModified = true;
    mInsertionPoint = end + static_cast<int>(before.size() + after.size());
    mSelectionLength = 0;
    return true;
}

bool StandInWordApp::bringToFront() {
    return begin(QStringLiteral("bringToFront"), QString(), false);
}

bool StandInWordApp::paste(const QString &text) {
    writeClipboard(text);
    if (!begin(QStringLiteral("paste"), text))
        return false;
    const int at = std::clamp(mInsertionPoint, 0, static_cast<int>(mText.size()));
    mText.insert(at, text);
    mModified = true;
    mInsertionPoint = at + static_cast<int>(text.size());
    return true;
}

bool StandInWordApp::replace(const QString &findText, const QString &replaceWith, int *count) {
    if (count)
        *count = 0;
    if (!begin(QStringLiteral("replace"), findText + QStringLiteral("=>") + replaceWith))
        return false;
    if (findText.isEmpty())
        return fail(QStringLiteral("查找的文字为空"));
    const auto found = mText.count(findText, Qt::CaseInsensitive);
    mText.replace(findText, replaceWith, Qt::CaseInsensitive);
    if (found > 0)
        mModified = true;
    if (count)
        *count = static_cast<int>(found);
    return true;
}

bool StandInWordApp::replaceInOrder(const QList<QPair<QString, QString>> &pairs, QList<int> *counts,
                                    const QHash<QString, QString> &conditions) {
    if (counts)
        counts->clear();
    if (hasDocument()) {
        const QString settled = PackageTemplate::settleClauses(mText, conditions);
        if (settled != mText) {
            mText = settled;
            mModified = true;
        }
    }
    for (const auto &[findText, replaceWith] : pairs) {
        int count = 0;
        if (!replace(findText, replaceWith, &count))
            return false;
        if (counts)
            *counts << count;
    }
    return true;
}

bool StandInWordApp::saveAs(const QString &path) {
    if (!begin(QStringLiteral("saveAs"), path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("保存文档失败：") + file.errorString());
    file.write(mText.toUtf8());
    mPath = path;
    mModified = false;
    return true;
}

bool StandInWordApp::exportPdf(const QString &path) {
    if (!begin(QStringLiteral("exportPdf"), path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("导出PDF文件失败：") + file.errorString());
    file.write("%PDF-stand-in\n" + mText.toUtf8());
    return true;
}

bool StandInWordApp::saveInPlace() {
    if (!begin(QStringLiteral("saveInPlace"), mPath))
        return false;
    QFile file(mPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("保存文档失败：") + file.errorString());
    file.write(mText.toUtf8());
    mModified = false;
    return true;
}

bool StandInWordApp::print() {
    return begin(QStringLiteral("print"));
}

bool StandInWordApp::sendMail() {
    return begin(QStringLiteral("sendMail"));
}

bool StandInWordApp::quit() {
    const bool ok = begin(QStringLiteral("quit"), QString(), false);
    mConnected = false;
    mHasDocument = false;
    mModified = false;
    mArranged = false;
    mText.clear();
    mPath.clear();
    return ok;
}

void StandInWordApp::disconnect() {
    mCalls << QStringLiteral("disconnect");
    mConnected = false;
    mHasDocument = false;
}

std::optional<QString> StandInWordApp::documentText() {
    if (!begin(QStringLiteral("documentText")))
        return std::nullopt;
    return mText;
}

void StandInWordApp::setFailing(const QString &operation, bool failing) {
    if (failing)
        mFailing.insert(operation);
    else
        mFailing.remove(operation);
}

int StandInWordApp::callCount(const QString &operation) const {
    int n = 0;
    for (const QString &call : mCalls) {
        if (call == operation || call.startsWith(operation + QLatin1Char(':')))
            ++n;
    }
    return n;
}

void StandInWordApp::setText(const QString &text) {
    mText = text;
    mHasDocument = true;
    mModified = true;
}

void StandInWordApp::setHanging(const QString &operation, bool hanging) {
    if (hanging)
        mHanging.insert(operation);
    else
        mHanging.remove(operation);
}

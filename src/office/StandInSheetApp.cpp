#include "office/StandInSheetApp.h"

#include <algorithm>

bool StandInSheetApp::begin(const QString &operation, bool needsDocument) {
    clearError();
    mCalls << operation;
    if (mFailing.contains(operation))
        return fail(QStringLiteral("模拟的电子表格错误：") + operation);
    if (operation != QLatin1String("connect") && !mConnected)
        return fail(QStringLiteral("电子表格软件没有连接或已经关闭"));
    if (needsDocument && !mHasDocument)
        return fail(QStringLiteral("没有新建的电子表格"));
    return true;
}

bool StandInSheetApp::connect() {
    if (!begin(QStringLiteral("connect"), false))
        return false;
    mConnected = true;
    return true;
}

bool StandInSheetApp::newSpreadsheet() {
    if (!begin(QStringLiteral("newSpreadsheet"), false))
        return false;
    mHasDocument = true;
    mShown = false;
    mCaption.clear();
    mCells.clear();
    mFitted.clear();
    return true;
}

bool StandInSheetApp::writeTexts(int row, int column, const QList<QStringList> &rows) {
    if (!begin(QStringLiteral("writeTexts"), true))
        return false;
    qsizetype width = 0;
    for (const auto &cells : rows)
        width = std::max(width, cells.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < width; ++c) {
            const QString text = c < rows.at(r).size() ? rows.at(r).at(c) : QString();
            if (text.isEmpty())
                mCells.remove({row + r, column + c});
            else
                mCells.insert({row + r, column + c}, SheetCell::fromText(text));
        }
    }
    return true;
}

bool StandInSheetApp::writeCells(int row, int column, const QList<QList<SheetCell>> &rows) {
    if (!begin(QStringLiteral("writeCells"), true))
        return false;
    qsizetype width = 0;
    for (const auto &cells : rows)
        width = std::max(width, cells.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < width; ++c) {
            const SheetCell cell = c < rows.at(r).size() ? rows.at(r).at(c) : SheetCell();
            if (cell.kind == SheetCell::Kind::Text && cell.text.isEmpty())
                mCells.remove({row + r, column + c});
            else
                mCells.insert({row + r, column + c}, cell);
        }
    }
    return true;
}

bool StandInSheetApp::fitColumns(int column, int columns) {
    if (!begin(QStringLiteral("fitColumns"), true))
        return false;
    for (int c = column; c < column + columns; ++c)
        mFitted << c;
    return true;
}

bool StandInSheetApp::setCaption(const QString &caption) {
    if (!begin(QStringLiteral("setCaption"), true))
        return false;
    if (!caption.isEmpty())
        mCaption = caption;
    return true;
}

bool StandInSheetApp::show() {
    if (!begin(QStringLiteral("show"), true))
        return false;
    mShown = true;
    return true;
}

std::optional<QList<QStringList>> StandInSheetApp::readTexts(int row, int column, int rows, int columns) {
    if (!begin(QStringLiteral("readTexts"), true))
        return std::nullopt;
    QList<QStringList> result;
    for (int r = 0; r < rows; ++r) {
        QStringList line;
        for (int c = 0; c < columns; ++c)
            line << mCells.value({row + r, column + c}).text;
        result << line;
    }
    return result;
}

std::optional<QList<QList<SheetCell>>> StandInSheetApp::readCells(int row, int column, int rows, int columns) {
    if (!begin(QStringLiteral("readCells"), true))
        return std::nullopt;
    QList<QList<SheetCell>> result;
    for (int r = 0; r < rows; ++r) {
        QList<SheetCell> line;
        for (int c = 0; c < columns; ++c)
            line << mCells.value({row + r, column + c});
        result << line;
    }
    return result;
}

void StandInSheetApp::setFailing(const QString &operation, bool failing) {
    if (failing)
        mFailing.insert(operation);
    else
        mFailing.remove(operation);
}

int StandInSheetApp::rowCount() const {
    int n = 0;
    for (auto it = mCells.keyBegin(); it != mCells.keyEnd(); ++it)
        n = std::max(n, it->first + 1);
    return n;
}

int StandInSheetApp::columnCount() const {
    int n = 0;
    for (auto it = mCells.keyBegin(); it != mCells.keyEnd(); ++it)
        n = std::max(n, it->second + 1);
    return n;
}

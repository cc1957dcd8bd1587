#include "ContractRecordModel.h"

#include "TDM.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>

namespace {

sqlite3 *connectionHandle() {
    const QVariant handle = TDM::instance().ADOLocal().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}

bool bindValue(sqlite3_stmt *stmt, int at, const QVariant &value) {
    if (value.isNull())
        return sqlite3_bind_null(stmt, at) == SQLITE_OK;
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        return sqlite3_bind_int64(stmt, at, value.toLongLong()) == SQLITE_OK;
    const QByteArray utf8 = value.toString().toUtf8();
    return sqlite3_bind_text(stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

inline char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// Contains, with Latin letters compared without case; other characters (Chinese text as UTF-8) byte by byte.
bool containsFolded(QByteArrayView hay, const QByteArray &foldedNeedle) {
    const qsizetype n = foldedNeedle.size();
    if (n == 0)
        return true;
    const char first = foldedNeedle.at(0);
    for (qsizetype i = 0; i + n <= hay.size(); ++i) {
        if (foldAscii(hay.at(i)) != first)
            continue;
        qsizetype k = 1;
        while (k < n && foldAscii(hay.at(i + k)) == foldedNeedle.at(k))
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

} // namespace

ContractRecordModel::ContractRecordModel(QObject *parent)
    : QAbstractTableModel(parent) {}

void ContractRecordModel::setColumns(const QList<Column> &columns) {
    beginResetModel();
    mColumns = columns;
    mFields.clear();
    for (const Column &c : mColumns)
        mFields.append(c.field);
    mFields += mExtraFields;
    mOpen = false;
    mArena.clear();
    mOffsets.clear();
    mRows.clear();
    mShown.clear();
    endResetModel();
}

bool ContractRecordModel::open(const QString &sql, const QVariantList &binds, const QList<Column> &columns,
                               const QStringList &extraFields, QString *error) {
    mSql = sql;
    mBinds = binds;
    mExtraFields = extraFields;
    setColumns(columns);
    return reopen(error);
}

bool ContractRecordModel::reopen(QString *error) {
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        endResetModel();
        return false;
    };
    beginResetModel();
    mOpen = false;
    mArena.clear();
    mOffsets.clear();
    mRows.clear();
    mShown.clear();

    sqlite3 *db = connectionHandle();
    if (!db)
        return fail(QStringLiteral("database not open"));
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = mSql.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return fail(text);
    }
    const int fields = int(mFields.size());
    if (sqlite3_column_count(stmt) < fields) {
        sqlite3_finalize(stmt);
        return fail(QStringLiteral("select list does not match the columns"));
    }
    for (int i = 0; i < mBinds.size(); ++i) {
        if (!bindValue(stmt, i + 1, mBinds.at(i))) {
            const QString text = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
            return fail(text);
        }
    }

    mArena.reserve(1 << 20);
    int rc;
    int row = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int f = 0; f < fields; ++f) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, f));
            const int bytes = sqlite3_column_bytes(stmt, f);
            mOffsets.push_back(quint32(mArena.size()));
            if (text && bytes > 0)
                mArena.append(text, bytes);
        }
        mRows.push_back(row++);
    }
    mOffsets.push_back(quint32(mArena.size()));
    if (rc != SQLITE_DONE) {
        const QString text = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        mArena.clear();
        mOffsets.clear();
        mRows.clear();
        return fail(text);
    }
    sqlite3_finalize(stmt);
    mOpen = true;
    refilter();
    endResetModel();
    return true;
}

void ContractRecordModel::close() {
    beginResetModel();
    mOpen = false;
    mArena.clear();
    mOffsets.clear();
    mRows.clear();
    mShown.clear();
    endResetModel();
}

QByteArrayView ContractRecordModel::cell(int storedRow, int field) const {
    const size_t at = size_t(storedRow) * size_t(mFields.size()) + size_t(field);
    const quint32 start = mOffsets[at];
    return QByteArrayView(mArena.constData() + start, qsizetype(mOffsets[at + 1] - start));
}

int ContractRecordModel::fieldIndex(const QString &field) const {
    return int(mFields.indexOf(field));
}

void ContractRecordModel::refilter() {
    const int field = mFilterField.isEmpty() ? -1 : fieldIndex(mFilterField);
    if (mFilterField.isEmpty()) {
        mShown = mRows;
        return;
    }
    mShown.clear();
    // A filter on a column this snapshot does not hold lets nothing through, as a failing match would.
    if (field < 0)
        return;
    QByteArray needle = mFilterText.toUtf8();
    for (char &c : needle)
        c = foldAscii(c);
    for (const int r : mRows) {
        if (containsFolded(cell(r, field), needle))
            mShown.push_back(r);
    }
}

void ContractRecordModel::setFilter(const QString &field, const QString &text) {
    beginResetModel();
    mFilterField = field;
    mFilterText = field.isEmpty() ? QString() : text;
    if (mOpen)
        refilter();
    endResetModel();
}

qint64 ContractRecordModel::recordId(int row) const {
    if (row < 0 || row >= recordCount() || mColumns.isEmpty())
        return -1;
    const int field = fieldIndex(QStringLiteral("ID"));
    if (field < 0)
        return -1;
    return cell(mShown[size_t(row)], field).toByteArray().toLongLong();
}

QString ContractRecordModel::text(int row, int column) const {
    if (row < 0 || row >= recordCount() || column < 0 || column >= mColumns.size())
        return {};
    return QString::fromUtf8(cell(mShown[size_t(row)], column));
}

QString ContractRecordModel::fieldText(int row, const QString &field) const {
    const int f = fieldIndex(field);
    if (row < 0 || row >= recordCount() || f < 0)
        return {};
    return QString::fromUtf8(cell(mShown[size_t(row)], f));
}

void ContractRecordModel::removeShownRow(int row) {
    if (row < 0 || row >= recordCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    const int stored = mShown[size_t(row)];
    mShown.erase(mShown.begin() + row);
    mRows.erase(std::find(mRows.begin(), mRows.end(), stored));
    endRemoveRows();
}

int ContractRecordModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : recordCount();
}

int ContractRecordModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mColumns.size());
}

QVariant ContractRecordModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() < mColumns.size())
        return QVariant(mColumns.at(index.column()).alignment);
    return {};
}

QVariant ContractRecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= mColumns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return mColumns.at(section).title;
    return {};
}

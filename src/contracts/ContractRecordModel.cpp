#include "contracts/ContractRecordModel.h"

#include "store/TDM.h"
#include "text/DateText.h"
#include "text/NumberText.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace {

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

std::string_view bytes(QByteArrayView v) {
    return {v.data(), size_t(v.size())};
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1 to `most` digits at `at`; -1 when there is none.
int readDigits(std::string_view t, size_t &at, size_t most) {
    int n = 0;
    size_t k = 0;
    while (at < t.size() && k < most && isDigit(t[at])) {
        n = n * 10 + (t[at] - '0');
        ++at;
        ++k;
    }
    return k == 0 ? -1 : n;
}

// "yyyy-M-d" or "yyyy/M/d", optionally followed by blanks and "H:mm" or "H:mm:ss": the forms the entry dialog
// writes by default, read without building a QDateTime from the text. Milliseconds since an epoch.
std::optional<qint64> quickDateKey(std::string_view t) {
    size_t at = 0;
    const size_t yearStart = at;
    const int year = readDigits(t, at, 4);
    if (at - yearStart != 4 || at >= t.size() || (t[at] != '-' && t[at] != '/'))
        return std::nullopt;
    const char sep = t[at++];
    const int month = readDigits(t, at, 2);
    if (month < 0 || at >= t.size() || t[at] != sep)
        return std::nullopt;
    ++at;
    const int day = readDigits(t, at, 2);
    if (day < 0)
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (at < t.size()) {
        const size_t blanks = at;
        while (at < t.size() && (t[at] == ' ' || t[at] == 'T'))
            ++at;
        if (at == blanks)
            return std::nullopt;
        hour = readDigits(t, at, 2);
        if (hour < 0 || at >= t.size() || t[at] != ':')
            return std::nullopt;
        ++at;
        const size_t minuteStart = at;
        minute = readDigits(t, at, 2);
        if (at - minuteStart != 2)
            return std::nullopt;
        if (at < t.size()) {
            if (t[at] != ':')
                return std::nullopt;
            ++at;
            const size_t secondStart = at;
            second = readDigits(t, at, 2);
            if (at - secondStart != 2 || at != t.size())
                return std::nullopt;
        }
    }
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return date.toJulianDay() * 86400000 + qint64((hour * 60 + minute) * 60 + second) * 1000;
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

    const int fields = int(mFields.size());
    mArena.reserve(1 << 20);
    int row = 0;
    QString reason;
    const bool ok = TDM::instance().bulkRead(
        mSql, mBinds, fields,
        [&](const char *const *texts, const int *sizes) {
            for (int f = 0; f < fields; ++f) {
                mOffsets.push_back(quint32(mArena.size()));
                if (sizes[f] > 0)
                    mArena.append(texts[f], sizes[f]);
            }
            mRows.push_back(row++);
        },
        &reason);
    mOffsets.push_back(quint32(mArena.size()));
    if (!ok) {
        mArena.clear();
        mOffsets.clear();
        mRows.clear();
        return fail(reason);
    }
    mOpen = true;
    sortRows();
    refilter();
    endResetModel();
    return true;
}

void ContractRecordModel::sortRows() {
    struct Prepared {
        int field;
        SortKind kind;
        bool descending;
        std::vector<char> readable; // by stored row
        std::vector<double> number;
        std::vector<qint64> moment;
    };
    const size_t rows = mRows.size();
    std::vector<Prepared> keys;
    for (const SortKey &k : std::as_const(mSortKeys)) {
        const int field = fieldIndex(k.field);
        if (field < 0)
            continue;
        Prepared p{field, k.kind, k.descending, {}, {}, {}};
        if (k.kind == SortKind::Number) {
            p.readable.resize(rows);
            p.number.resize(rows);
            for (size_t r = 0; r < rows; ++r) {
                std::string_view t = bytes(cell(int(r), field));
                while (!t.empty() && t.front() == ' ')
                    t.remove_prefix(1);
                while (!t.empty() && t.back() == ' ')
                    t.remove_suffix(1);
                double v = 0;
                const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
                if (!t.empty() && ec == std::errc() && end == t.data() + t.size() && std::isfinite(v)) {
                    p.readable[r] = 1;
                    p.number[r] = v;
                } else if (const TextResult<double> read = TextToNumber(QString::fromUtf8(cell(int(r), field)));
                           read && std::isfinite(read.value)) {
                    p.readable[r] = 1;
                    p.number[r] = read.value;
                }
            }
        } else if (k.kind == SortKind::Date) {
            p.readable.resize(rows);
            p.moment.resize(rows);
            // The quick reading holds only where the format itself puts the year before the month and the day.
            const QString qtFormat = ToQtDateTimeFormat(k.format);
            const qsizetype y = qtFormat.indexOf(u'y'), m = qtFormat.indexOf(u'M'), d = qtFormat.indexOf(u'd');
            const bool quick = k.format.isEmpty() || (y >= 0 && y < m && m < d);
            QHash<QByteArray, std::optional<qint64>> slow;
            for (size_t r = 0; r < rows; ++r) {
                const QByteArrayView text = cell(int(r), field);
                std::optional<qint64> key = quick ? quickDateKey(bytes(text)) : std::nullopt;
                if (!key && !text.isEmpty()) {
                    const QByteArray owned = text.toByteArray();
                    auto found = slow.constFind(owned);
                    if (found == slow.cend()) {
                        const TextResult<QDateTime> read = TextToDateTime(QString::fromUtf8(owned), k.format);
                        std::optional<qint64> value;
                        if (read)
                            value =
                                read.value.date().toJulianDay() * 86400000 + read.value.time().msecsSinceStartOfDay();
                        found = slow.insert(owned, value);
                    }
                    key = *found;
                }
                if (key) {
                    p.readable[r] = 1;
                    p.moment[r] = *key;
                }
            }
        }
        keys.push_back(std::move(p));
    }
    if (keys.empty())
        return;

    auto compare = [this](const Prepared &k, int a, int b) -> int {
        if (k.kind != SortKind::Text) {
            const bool ra = k.readable[size_t(a)], rb = k.readable[size_t(b)];
            // Readable values first in either direction: a stray text never hides the greatest numbers.
            if (ra != rb)
                return ra ? -1 : 1;
            if (ra) {
                int c = 0;
                if (k.kind == SortKind::Number)
                    c = k.number[size_t(a)] < k.number[size_t(b)] ? -1 : (k.number[size_t(b)] < k.number[size_t(a)]);
                else
                    c = k.moment[size_t(a)] < k.moment[size_t(b)] ? -1 : (k.moment[size_t(b)] < k.moment[size_t(a)]);
                return k.descending ? -c : c;
            }
        }
        const int c = bytes(cell(a, k.field)).compare(bytes(cell(b, k.field)));
        const int sign = (c > 0) - (c < 0);
        return k.descending ? -sign : sign;
    };
    std::stable_sort(mRows.begin(), mRows.end(), [&](int a, int b) {
        for (const Prepared &k : keys) {
            if (const int c = compare(k, a, b))
                return c < 0;
        }
        return false;
    });
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

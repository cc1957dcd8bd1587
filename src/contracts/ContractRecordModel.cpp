#include "contracts/ContractRecordModel.h"

#include "store/Database.h"
#include "text/DateText.h"
#include "text/NumberText.h"

#include <QHash>

#include <condition_variable>
#include <mutex>
#include <thread>

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

// The reader thread of a background read and what it hands over.
struct ContractRecordModel::Loader {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Batch> ready; // read, not yet taken by the model
    bool done = false;
    bool ok = false;
    QString error;
};

namespace {

// Collects rows into batches of about `bytes` bytes (the first of `firstRows` rows at most).
class BatchBuilder {
public:
    BatchBuilder(int fields, qsizetype bytes)
        : mFields(fields)
        , mBytes(bytes) {}
    template <typename Batch> bool add(const char *const *texts, const int *sizes, Batch &batch) {
        for (int f = 0; f < mFields; ++f) {
            batch.offsets.push_back(quint32(batch.bytes.size()));
            if (sizes[f] > 0)
                batch.bytes.append(texts[f], sizes[f]);
        }
        batch.offsets.push_back(quint32(batch.bytes.size()));
        ++batch.rows;
        return batch.bytes.size() >= mBytes;
    }
    template <typename Batch> void prepare(Batch &batch, int rowsExpected) const {
        batch.bytes.reserve(mBytes + (512 << 10));
        batch.offsets.reserve(size_t(rowsExpected) * size_t(mFields + 1));
    }

private:
    int mFields;
    qsizetype mBytes;
};

// A batch is closed once its texts pass this size, so that a block is never moved while it grows.
constexpr qsizetype BatchBytes = 2 << 20;

} // namespace

ContractRecordModel::ContractRecordModel(Database &database, QObject *parent)
    : QAbstractTableModel(parent)
    , mDb(database) {}

ContractRecordModel::~ContractRecordModel() {
    stopLoading();
}

void ContractRecordModel::clearRows() {
    // Giving back the memory of a large list takes a moment: a background read does it on its reader thread.
    if (mInBackground) {
        mDiscarded.insert(mDiscarded.end(), std::make_move_iterator(mBatches.begin()),
                          std::make_move_iterator(mBatches.end()));
    }
    mBatches.clear();
    mRowBatch.clear();
    mBatchFirstRow.clear();
    mRows.clear();
    mShown.clear();
}

void ContractRecordModel::appendBatch(Batch &&batch) {
    if (batch.rows == 0)
        return;
    const int first = int(mRowBatch.size());
    mBatchFirstRow.push_back(first);
    mRowBatch.insert(mRowBatch.end(), size_t(batch.rows), quint32(mBatches.size()));
    for (int r = 0; r < batch.rows; ++r)
        mRows.push_back(first + r);
    mBatches.push_back(std::move(batch));
}

void ContractRecordModel::setColumns(const QList<Column> &columns) {
    stopLoading();
    beginResetModel();
    mColumns = columns;
    mFields.clear();
    for (const Column &c : mColumns)
        mFields.append(c.field);
    mFields += mExtraFields;
    mOpen = false;
    clearRows();
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
    stopLoading();
    beginResetModel();
    mOpen = false;
    clearRows();
    if (!mInBackground)
        return readAll(error);
    startReader();
    return takeFirstScreen(error);
}

bool ContractRecordModel::readAll(QString *error) {
    const int fields = int(mFields.size());
    Batch batch;
    BatchBuilder builder(fields, BatchBytes);
    builder.prepare(batch, 4096);
    QString reason;
    const bool ok = mDb.bulkRead(
        mSql, mBinds, fields,
        [&](const char *const *texts, const int *sizes) {
            if (builder.add(texts, sizes, batch)) {
                appendBatch(std::move(batch));
                batch = Batch();
                builder.prepare(batch, 4096);
            }
        },
        &reason);
    appendBatch(std::move(batch));
    if (!ok && error)
        *error = reason;
    return completeLoading(ok, reason, true);
}

void ContractRecordModel::startReader() {
    const int fields = int(mFields.size());
    // The reader thread: a first batch of a screen of rows, handed over at once, then larger ones.
    mLoader = std::make_unique<Loader>();
    Loader *loader = mLoader.get();
    const quint64 generation = ++mGeneration;
    ContractRecordModel *model = this; // outlives the thread: stopLoading() joins it first
    const int firstRows = mFirstScreenRows;
    loader->thread = std::thread([loader, model, generation, firstRows, fields, source = mDb.readSource(), sql = mSql,
                                  binds = mBinds, discarded = std::move(mDiscarded)]() mutable {
        discarded = {};
        BatchBuilder builder(fields, BatchBytes);
        Batch batch;
        builder.prepare(batch, firstRows);
        bool first = true;
        auto handOver = [&]() {
            bool notify;
            {
                const std::lock_guard<std::mutex> lock(loader->mutex);
                notify = loader->ready.empty();
                loader->ready.push_back(std::move(batch));
            }
            loader->changed.notify_all();
            // One message at a time: the model takes every batch waiting when it comes.
            if (notify)
                QMetaObject::invokeMethod(
                    model,
                    [model, generation]() {
                        if (model->mGeneration == generation && model->mLoader)
                            model->takeBatches();
                    },
                    Qt::QueuedConnection);
            batch = Batch();
            builder.prepare(batch, 4096);
        };
        QString reason;
        const bool ok = Database::bulkReadFrom(
            source, sql, binds, fields,
            [&](const char *const *texts, const int *sizes) {
                const bool full = builder.add(texts, sizes, batch);
                if (first && batch.rows >= firstRows) {
                    first = false;
                    handOver();
                    // open() shows this screen before any later row comes in.
                    std::unique_lock<std::mutex> lock(loader->mutex);
                    loader->changed.wait(lock, [loader] { return loader->ready.empty() || loader->stop; });
                } else if (full) {
                    handOver();
                }
            },
            &loader->stop, &reason);
        {
            const std::lock_guard<std::mutex> lock(loader->mutex);
            if (batch.rows > 0)
                loader->ready.push_back(std::move(batch));
            loader->done = true;
            loader->ok = ok;
            loader->error = reason;
        }
        loader->changed.notify_all();
        QMetaObject::invokeMethod(
            model,
            [model, generation]() {
                if (model->mGeneration == generation && model->mLoader)
                    model->takeBatches();
            },
            Qt::QueuedConnection);
    });

    mDiscarded.clear(); // handed to the thread above
}

bool ContractRecordModel::takeFirstScreen(QString *error) {
    Loader *loader = mLoader.get();
    // The first screen, or everything when the category is that small.
    std::vector<Batch> ready;
    bool done;
    bool ok;
    QString reason;
    {
        std::unique_lock<std::mutex> lock(loader->mutex);
        loader->changed.wait(lock, [loader] { return loader->done || !loader->ready.empty(); });
        ready.swap(loader->ready);
        done = loader->done;
        ok = loader->ok;
        reason = loader->error;
    }
    loader->changed.notify_all();
    for (Batch &b : ready)
        appendBatch(std::move(b));
    if (done) {
        loader->thread.join();
        mLoader.reset();
        if (!ok && error)
            *error = reason;
        return completeLoading(ok, reason, true);
    }
    mOpen = true;
    refilter();
    endResetModel();
    return true;
}

void ContractRecordModel::takeBatches() {
    if (!mLoader)
        return;
    std::vector<Batch> ready;
    bool done;
    bool ok;
    QString reason;
    {
        const std::lock_guard<std::mutex> lock(mLoader->mutex);
        ready.swap(mLoader->ready);
        done = mLoader->done;
        ok = mLoader->ok;
        reason = mLoader->error;
    }
    const int firstNew = int(mRows.size());
    for (Batch &b : ready)
        appendBatch(std::move(b));
    // The new rows come after every row shown: only those the filter lets through are added to the view.
    std::vector<int> shown;
    const int field = mFilterField.isEmpty() ? -1 : fieldIndex(mFilterField);
    const QByteArray needle = foldedNeedle();
    for (size_t i = size_t(firstNew); i < mRows.size(); ++i) {
        if (mFilterField.isEmpty() || matchesFilter(mRows[i], field, needle))
            shown.push_back(mRows[i]);
    }
    if (!shown.empty()) {
        beginInsertRows(QModelIndex(), int(mShown.size()), int(mShown.size() + shown.size()) - 1);
        mShown.insert(mShown.end(), shown.begin(), shown.end());
        endInsertRows();
    }
    if (done) {
        mLoader->thread.join();
        mLoader.reset();
        completeLoading(ok, reason, false);
    }
}

bool ContractRecordModel::finishLoading() {
    if (!mLoader)
        return mOpen;
    mLoader->thread.join();
    takeBatches();
    return mOpen;
}

void ContractRecordModel::stopLoading() {
    if (!mLoader)
        return;
    {
        const std::lock_guard<std::mutex> lock(mLoader->mutex);
        mLoader->stop = true;
    }
    mLoader->changed.notify_all();
    mLoader->thread.join();
    mLoader.reset();
    ++mGeneration;
}

// Ends a read: on failure the list is emptied; otherwise the rows take their sort order. Inside a reset begun by
// the caller (inReset), or after a background read whose rows the view already shows: the view is reset only when
// the rows change their order, so that a list read in statement order keeps where the user is in it.
bool ContractRecordModel::completeLoading(bool ok, const QString &error, bool inReset) {
    if (!ok) {
        if (!inReset)
            beginResetModel();
        clearRows();
        mOpen = false;
        endResetModel();
    } else if (inReset || !mSortKeys.isEmpty()) {
        if (!inReset)
            beginResetModel();
        mOpen = true;
        sortRows();
        refilter();
        endResetModel();
    }
    if (!inReset)
        Q_EMIT loaded(ok, error);
    return ok;
}

// A sort key with the values of its column read once: numbers and dates as numbers, by stored row.
struct ContractRecordModel::SortColumn {
    int field;
    SortKind kind;
    bool descending;
    std::vector<char> readable; // by stored row
    std::vector<double> number;
    std::vector<qint64> moment;
};

void ContractRecordModel::readNumbers(SortColumn &key) const {
    const size_t rows = mRows.size();
    key.readable.resize(rows);
    key.number.resize(rows);
    for (size_t r = 0; r < rows; ++r) {
        std::string_view t = bytes(cell(int(r), key.field));
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        double v = 0;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (!t.empty() && ec == std::errc() && end == t.data() + t.size() && std::isfinite(v)) {
            key.readable[r] = 1;
            key.number[r] = v;
        } else if (const TextResult<double> read = TextToNumber(QString::fromUtf8(cell(int(r), key.field)));
                   read && std::isfinite(read.value)) {
            key.readable[r] = 1;
            key.number[r] = read.value;
        }
    }
}

void ContractRecordModel::readDates(SortColumn &key, const QString &format) const {
    const size_t rows = mRows.size();
    key.readable.resize(rows);
    key.moment.resize(rows);
    // The quick reading holds only where the format itself puts the year before the month and the day.
    const QString qtFormat = ToQtDateTimeFormat(format);
    const qsizetype y = qtFormat.indexOf(u'y'), m = qtFormat.indexOf(u'M'), d = qtFormat.indexOf(u'd');
    const bool quick = format.isEmpty() || (y >= 0 && y < m && m < d);
    QHash<QByteArray, std::optional<qint64>> slow;
    for (size_t r = 0; r < rows; ++r) {
        const QByteArrayView text = cell(int(r), key.field);
        std::optional<qint64> moment = quick ? quickDateKey(bytes(text)) : std::nullopt;
        if (!moment && !text.isEmpty()) {
            const QByteArray owned = text.toByteArray();
            auto found = slow.constFind(owned);
            if (found == slow.cend()) {
                const TextResult<QDateTime> read = TextToDateTime(QString::fromUtf8(owned), format);
                std::optional<qint64> value;
                if (read)
                    value = read.value.date().toJulianDay() * 86400000 + read.value.time().msecsSinceStartOfDay();
                found = slow.insert(owned, value);
            }
            moment = *found;
        }
        if (moment) {
            key.readable[r] = 1;
            key.moment[r] = *moment;
        }
    }
}

int ContractRecordModel::compareRows(const SortColumn &k, int a, int b) const {
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
}

void ContractRecordModel::sortRows() {
    std::vector<SortColumn> keys;
    for (const SortKey &k : std::as_const(mSortKeys)) {
        const int field = fieldIndex(k.field);
        if (field < 0)
            continue;
        SortColumn column{field, k.kind, k.descending, {}, {}, {}};
        if (k.kind == SortKind::Number)
            readNumbers(column);
        else if (k.kind == SortKind::Date)
            readDates(column, k.format);
        keys.push_back(std::move(column));
    }
    if (keys.empty())
        return;
    std::stable_sort(mRows.begin(), mRows.end(), [&](int a, int b) {
        for (const SortColumn &k : keys) {
            if (const int c = compareRows(k, a, b))
                return c < 0;
        }
        return false;
    });
}

void ContractRecordModel::close() {
    stopLoading();
    beginResetModel();
    mOpen = false;
    clearRows();
    mDiscarded.clear();
    endResetModel();
}

QByteArrayView ContractRecordModel::cell(int storedRow, int field) const {
    const quint32 b = mRowBatch[size_t(storedRow)];
    const Batch &batch = mBatches[b];
    const size_t at = size_t(storedRow - mBatchFirstRow[b]) * size_t(mFields.size() + 1) + size_t(field);
    const quint32 start = batch.offsets[at];
    return QByteArrayView(batch.bytes.constData() + start, qsizetype(batch.offsets[at + 1] - start));
}

int ContractRecordModel::fieldIndex(const QString &field) const {
    return int(mFields.indexOf(field));
}

QByteArray ContractRecordModel::foldedNeedle() const {
    QByteArray needle = mFilterText.toUtf8();
    for (char &c : needle)
        c = foldAscii(c);
    return needle;
}

bool ContractRecordModel::matchesFilter(int storedRow, int field, const QByteArray &needle) const {
    // A filter on a column this snapshot does not hold lets nothing through, as a failing match would.
    return field >= 0 && containsFolded(cell(storedRow, field), needle);
}

void ContractRecordModel::refilter() {
    if (mFilterField.isEmpty()) {
        mShown = mRows;
        return;
    }
    mShown.clear();
    const int field = fieldIndex(mFilterField);
    const QByteArray needle = foldedNeedle();
    for (const int r : mRows) {
        if (matchesFilter(r, field, needle))
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

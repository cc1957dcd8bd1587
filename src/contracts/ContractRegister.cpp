#include "contracts/ContractRegister.h"

#include "contracts/ContractEntry.h"
#include "contracts/ContractNumbering.h"
#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "store/SqlText.h"

#include <QFile>
#include <QHash>

ContractRegister::ContractRegister(Database &database, QObject *parent)
    : QObject(parent)
    , mStore(database)
    , mRecords(database, this) {
    mRecords.setColumns({{QStringLiteral("ID"), QStringLiteral("编号"), Qt::AlignLeft | Qt::AlignVCenter}});
    connect(&mRecords, &ContractRecordModel::loaded, this, [](bool ok) {
        if (!ok)
            Messages::instance().warning(QStringLiteral("读取合同详细数据发生错误！"));
    });
}

QString ContractRegister::recordSql() const {
    QStringList columns;
    for (const Indicator &i : mIndicators)
        columns << i.DataFieldA;
    const QString filter = mRecords.filterField();
    if (!filter.isEmpty())
        columns << filter;
    // With sort columns the snapshot sorts the rows itself (numbers by value, dates by date); read in the order
    // of entry, which is the order of records equal on every sort column.
    return ContractStore::listStatement(columns, !mSortColumns.isEmpty());
}

std::optional<QList<Indicator>> ContractRegister::readIndicators() {
    bool ok = false;
    const QList<Indicator> all = Indicator::ofCategory(mCategory, &ok);
    if (!ok) {
        Messages::instance().warning(QStringLiteral("读取模板参数发生错误！"));
        return std::nullopt;
    }
    QList<Indicator> read;
    for (const Indicator &i : all) {
        // A column name goes into the statement as text: only the eighty value columns are accepted.
        if (SqlText::isValueColumn(i.DataFieldA))
            read.append(i);
    }
    return read.mid(0, 80);
}

QList<ContractRecordModel::Column> ContractRegister::buildColumns() {
    mSortColumns.clear();
    QList<ContractRecordModel::Column> columns{
        {QStringLiteral("ID"), QStringLiteral("编号"), Qt::AlignLeft | Qt::AlignVCenter}};
    for (const Indicator &i : std::as_const(mIndicators)) {
        const Qt::Alignment align =
            (i.PropertyType == Indicator::Number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        columns.append({i.DataFieldA, i.PropertyName, align});
        if (i.IsSortField == 1)
            mSortColumns.append(i.DataFieldA);
    }
    // Only the last sort column descends; the others ascend, as the list has always been ordered.
    QList<ContractRecordModel::SortKey> sort;
    for (const Indicator &i : std::as_const(mIndicators)) {
        if (i.IsSortField != 1)
            continue;
        const ContractRecordModel::SortKind kind =
            i.PropertyType == Indicator::Number ? ContractRecordModel::SortKind::Number
            : i.PropertyType == Indicator::Date ? ContractRecordModel::SortKind::Date
                                                : ContractRecordModel::SortKind::Text;
        sort.append({i.DataFieldA, kind, i.FormatStr, false});
    }
    if (!sort.isEmpty())
        sort.last().descending = true;
    mRecords.setSortKeys(sort);
    return columns;
}

bool ContractRegister::loadRecords() {
    const std::optional<QList<Indicator>> read = readIndicators();
    if (!read)
        return false;
    if (read->isEmpty()) {
        mIndicators.clear();
        mRecords.close();
        return false;
    }

    mBuilding = true;
    mIndicators = *read;
    const QList<ContractRecordModel::Column> columns = buildColumns();
    QStringList extra;
    if (!mRecords.filterField().isEmpty())
        extra.append(mRecords.filterField());
    const bool opened = mRecords.open(recordSql(), {mCategory}, columns, extra);
    mBuilding = false;
    if (!opened) {
        Messages::instance().warning(QStringLiteral("读取合同详细数据发生错误！"));
        return false;
    }
    return true;
}

QStringList ContractRegister::filterValues(int indicator) const {
    if (indicator < 0 || indicator >= mIndicators.size())
        return {};
    return ContractEntry::splitDefaultSelect(mIndicators.at(indicator).DefaultSelect);
}

void ContractRegister::applyFilter(int indicator, const QString &text) {
    if (indicator < 0 || indicator >= mIndicators.size())
        return;
    if (text.isEmpty())
        mRecords.setFilter(QString(), QString());
    else
        mRecords.setFilter(mIndicators.at(indicator).DataFieldA, text);
}

QString ContractRegister::documentPath(qint64 id) const {
    return mStore.database().path(Database::ContractFolder) + QString::number(id) + QStringLiteral(".Doc");
}

// A record's document takes its template's format: the Word 97 file, or a .docx / .odt one.
QStringList ContractRegister::existingDocuments(qint64 id) const {
    const QString base = mStore.database().path(Database::ContractFolder) + QString::number(id);
    QStringList found;
    const QStringList candidates{documentPath(id), base + QStringLiteral(".docx"), base + QStringLiteral(".odt")};
    for (const QString &path : candidates)
        if (QFile::exists(path))
            found.append(path);
    return found;
}

bool ContractRegister::deleteRecord(int row) {
    if (row < 0 || row >= mRecords.recordCount())
        return false;
    if (!Messages::instance().question(QStringLiteral("您确认删除选定的合同数据吗？") + QLatin1Char('\n') +
                                       QStringLiteral("本记录对应已经生成或编辑过的合同内容也将一并删除！")))
        return false;
    const qint64 id = mRecords.recordId(row);
    Database &dm = mStore.database();
    // The history keeps every value the record had.
    const bool deleted = dm.inTransaction([&]() {
        const std::optional<ChangeHistory::Values> before = ChangeHistory::recordValues(id);
        const std::optional<QList<ChangeHistory::Indicator>> indicators = ChangeHistory::indicatorsOf(mCategory);
        if (!before || !indicators || !mStore.remove(id))
            return false;
        return ChangeHistory::record(
            {id, mCategory, ChangeHistory::Deleted, ChangeHistory::changesBetween(*indicators, *before, {}), {}, {}});
    });
    if (!deleted) {
        Messages::instance().warning(QStringLiteral("删除数据发生错误！"));
        return false;
    }
    // The document goes with its record, so that a later record given the same ID never finds it.
    QStringList removed;
    for (const QString &doc : existingDocuments(id)) {
        if (QFile::remove(doc))
            removed << doc;
    }
    for (const char *suffix : {".Doc", ".docx", ".odt"}) {
        const QString relative = Database::ContractFolder + QString::number(id) + QLatin1String(suffix);
        const bool onServer = DocumentStore::active() && DocumentStore::exists(relative);
        if (DocumentStore::remove(relative) && onServer && !removed.contains(dm.path(relative)))
            removed << dm.path(relative);
    }
    recordDocumentsDeleted(id, removed);
    mRecords.removeShownRow(row);
    return true;
}

void ContractRegister::recordDocumentsDeleted(qint64 id, const QStringList &paths) {
    if (paths.isEmpty())
        return;
    for (const QString &path : paths)
        ChangeHistory::recordDocument(id, mCategory, ChangeHistory::DocumentDeleted, path);
}

bool ContractRegister::copyRecord(int row) {
    if (row < 0 || row >= mRecords.recordCount()) {
        Messages::instance().information(QStringLiteral("没有可复制的记录！"));
        return false;
    }
    if (!Messages::instance().question(QStringLiteral("您确认按照选定记录的相同数据复制出新的记录吗？")))
        return false;
    bool sourceGone = false;
    const bool copied = copyUnderLock(mRecords.recordId(row), sourceGone);
    if (sourceGone) {
        Messages::instance().information(QStringLiteral("选定的合同已被其他用户删除，不能复制。"));
        mRecords.reopen();
        return false;
    }
    if (!copied || !mRecords.reopen()) {
        Messages::instance().warning(mStore.database().failureText(QStringLiteral("存储数据发生错误！")));
        return false;
    }
    return true;
}

bool ContractRegister::copyUnderLock(qint64 sourceId, bool &sourceGone) {
    // A contract number names one contract: the copy's numbering indicators get the number a new record would
    // be offered now (empty when none can be made), every other value is copied. Numbers are made under the
    // category's write lock, as a save makes them, so that another program's save cannot take the same one.
    return mStore.database().inWriteTransaction([&]() {
        if (!mStore.lockCategory(mCategory))
            return false;
        QHash<QString, QString> numbers;
        for (const Indicator &i : std::as_const(mIndicators)) {
            if (ContractNumbering::parseTemplate(i.CalcStr))
                numbers.insert(
                    i.DataFieldA,
                    ContractNumbering::newRecordNumber(mStore, i.CalcStr, mCategory, i.DataFieldA).value_or(QString()));
        }
        // Nobody else writes while the lock is held: a source found now is still there for the copy.
        const std::optional<ChangeHistory::Values> source = ChangeHistory::recordValues(sourceId);
        if (!source)
            return false;
        if (source->isEmpty()) {
            sourceGone = true;
            return false;
        }
        const std::optional<qint64> copyId = mStore.copy(sourceId, numbers);
        if (!copyId)
            return false;
        const std::optional<ChangeHistory::Values> copy = ChangeHistory::recordValues(*copyId);
        const std::optional<QList<ChangeHistory::Indicator>> indicators = ChangeHistory::indicatorsOf(mCategory);
        return copy && indicators &&
               ChangeHistory::record({*copyId,
                                      mCategory,
                                      ChangeHistory::Copied,
                                      ChangeHistory::changesBetween(*indicators, {}, *copy),
                                      {},
                                      {}});
    });
}

bool ContractRegister::deleteDocument(int row) {
    if (row < 0 || row >= mRecords.recordCount()) {
        Messages::instance().information(QStringLiteral("没有可用于删除的合同数据！"));
        return false;
    }
    const qint64 id = mRecords.recordId(row);
    const QStringList docs = existingDocuments(id);
    // On a shared server the document may have been made by another program and never fetched here.
    QStringList onServer;
    for (const char *suffix : {".Doc", ".docx", ".odt"}) {
        const QString relative = Database::ContractFolder + QString::number(id) + QLatin1String(suffix);
        if (DocumentStore::active() && DocumentStore::exists(relative))
            onServer << relative;
    }
    if (docs.isEmpty() && onServer.isEmpty()) {
        Messages::instance().information(QStringLiteral("选定合同数据的文档尚未生成或已经被删除！"));
        return false;
    }
    QStringList removed;
    bool ok = true;
    for (const QString &doc : docs) {
        if (!QFile::remove(doc)) {
            ok = false;
            break;
        }
        removed << doc;
    }
    for (const QString &relative : onServer) {
        if (!ok || !DocumentStore::remove(relative)) {
            ok = false;
            break;
        }
        if (!removed.contains(mStore.database().path(relative)))
            removed << mStore.database().path(relative);
    }
    recordDocumentsDeleted(id, removed);
    if (!ok)
        return false;
    Messages::instance().information(QStringLiteral("选定合同记录生成的Word文档已经删除！"));
    return true;
}

void ContractRegister::storeWidths(const QList<QPair<QString, int>> &widths) {
    if (mBuilding || mCategory.isEmpty())
        return;
    mStore.storeColumnWidths(mCategory, widths);
}

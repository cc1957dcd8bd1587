#include "catalogue/IndicatorCommands.h"

#include "catalogue/IndicatorEditor.h"
#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/SqlText.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <optional>

namespace {
const QString ReadFailed = QStringLiteral("读取数据库发生错误！");
const QString StoreFailed = QStringLiteral("存储数据发生错误！");

// The contract records of the category that hold a value in some of the given value columns: how many, and
// which of the columns hold any value.
struct Holding {
    int records = 0;
    QStringList columns;
};

// nullopt when the records cannot be read. Column names cannot be bound: only checked value column names reach
// the statement.
std::optional<Holding> recordsWithValues(const QString &category, const QStringList &columns) {
    QStringList checked;
    QStringList filled;
    QStringList anyFilled;
    for (const QString &column : columns) {
        if (!SqlText::isValueColumn(column) || checked.contains(column))
            continue;
        checked << column;
        filled << QStringLiteral("coalesce(") + column + QStringLiteral(",'')<>''");
        // A number rather than a truth value: the server has no max() over truth values.
        anyFilled << QStringLiteral("max(CASE WHEN ") + filled.last() + QStringLiteral(" THEN 1 ELSE 0 END)");
    }
    if (checked.isEmpty())
        return Holding{};
    QSqlQuery q(Database::instance().connection());
    if (!execBound(q,
                   QStringLiteral("SELECT count(*),") + anyFilled.join(QLatin1Char(',')) +
                       QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? AND (") +
                       filled.join(QStringLiteral(" OR ")) + QLatin1Char(')'),
                   {category}) ||
        !q.next())
        return std::nullopt;
    Holding holding;
    holding.records = q.value(0).toInt();
    for (int i = 0; i < checked.size(); ++i)
        if (q.value(i + 1).toInt() != 0)
            holding.columns << checked.at(i);
    return holding;
}

// Empties the value columns in every contract record of the category, so that an indicator given one of them
// later does not show the values of the indicator that held it before. Each record that loses a value gets a
// history row with the values it lost, under the name of the indicator that held them (`names` by column; the
// column itself when none did).
bool clearColumns(const QString &category, const QStringList &columns, const QHash<QString, QString> &names) {
    QStringList sets;
    QStringList cleared;
    QStringList filled;
    for (const QString &column : columns) {
        if (SqlText::isValueColumn(column) && !cleared.contains(column)) {
            cleared << column;
            sets << column + QStringLiteral("=''");
            filled << QStringLiteral("coalesce(") + column + QStringLiteral(",'')<>''");
        }
    }
    if (sets.isEmpty())
        return true;
    QSqlQuery q(Database::instance().connection());
    q.setForwardOnly(true);
    if (!execBound(q,
                   QStringLiteral("SELECT ID,") + cleared.join(QLatin1Char(',')) +
                       QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? AND (") +
                       filled.join(QStringLiteral(" OR ")) + QStringLiteral(") ORDER BY ID"),
                   {category}))
        return false;
    QList<ChangeHistory::Entry> losses;
    while (q.next()) {
        ChangeHistory::Entry entry{q.value(0).toLongLong(), category, ChangeHistory::Cleared, {}, {}, {}};
        for (qsizetype i = 0; i < cleared.size(); ++i) {
            const QString value = q.value(int(i) + 1).toString();
            if (!value.isEmpty())
                entry.changes.append({names.value(cleared.at(i), cleared.at(i)), value, QString()});
        }
        losses.append(entry);
    }
    for (const ChangeHistory::Entry &entry : std::as_const(losses)) {
        if (!ChangeHistory::record(entry))
            return false;
    }
    return execBound(q,
                     QStringLiteral("UPDATE TContractMain SET ") + sets.join(QLatin1Char(',')) +
                         QStringLiteral(" WHERE MainTypeCode=?"),
                     {category});
}

// Inside a write transaction, before anything else: the lock a record's save of the category takes first. A save
// then either finishes before the indicators change (and its values are cleared with the others) or reads the
// changed indicators; and the two never wait for each other's rows the other way round.
bool lockCategory(const QString &category) {
    Database &dm = Database::instance();
    QSqlQuery q(dm.connection());
    return execBound(q, QStringLiteral("SELECT TypeCode FROM TContractClass WHERE TypeCode=?") + dm.lockRows(),
                     {category});
}

// “甲”、“乙”; a long list is cut after a few names.
QString quotedNames(const QStringList &names) {
    constexpr int Shown = 5;
    QStringList quoted;
    for (const QString &name : names.mid(0, Shown))
        quoted << QStringLiteral("“") + name + QStringLiteral("”");
    QString text = quoted.join(QStringLiteral("、"));
    if (names.size() > Shown)
        text += QStringLiteral("等%1个指标").arg(names.size());
    return text;
}

// An imported indicator takes over the values of a current one only when it is the same field: same name, same
// type, same value column. Every other current indicator is removed with its values.
bool sameField(const Indicator &a, const Indicator &b) {
    return a.PropertyName == b.PropertyName && a.PropertyType == b.PropertyType && a.DataFieldA == b.DataFieldA;
}

} // namespace

IndicatorCommands::IndicatorCommands(QObject *parent)
    : QObject(parent)
    , mSelection(&mModel) {}

bool IndicatorCommands::load(const QString &categoryCode) {
    mCategoryCode = categoryCode;
    return reload(true);
}

bool IndicatorCommands::reload(bool reportFailure) {
    bool ok = false;
    const QList<Indicator> list = Indicator::ofCategory(mCategoryCode, &ok);
    mModel.setIndicators(ok ? list : QList<Indicator>());
    if (!ok && reportFailure)
        Messages::instance().warning(ReadFailed);
    selectRow(0);
    return ok;
}

int IndicatorCommands::currentRow() const {
    const QModelIndex current = mSelection.currentIndex();
    return current.isValid() ? current.row() : -1;
}

void IndicatorCommands::selectRow(int row) {
    if (row < 0 || row >= mModel.rowCount()) {
        mSelection.clear();
        return;
    }
    mSelection.setCurrentIndex(mModel.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void IndicatorCommands::cmdAppendPropertyClick() {
    if (mEdit && mEdit(IndicatorEditor::IndicatorTable, mCategoryCode, -1))
        reload(true);
}

void IndicatorCommands::cmdEditPropertyClick() {
    const int row = currentRow();
    if (row < 0)
        return;
    if (mEdit && mEdit(IndicatorEditor::IndicatorTable, mCategoryCode, mModel.at(row).ID))
        reload(true);
}

void IndicatorCommands::cmdDelPropertyClick() {
    const int row = currentRow();
    if (row < 0)
        return;
    const Indicator indicator = mModel.at(row);
    // The freed value column goes to the next new indicator of the category: the values go with the indicator.
    // A column another indicator of the category still holds keeps its values.
    QStringList columns;
    if (SqlText::isValueColumn(indicator.DataFieldA)) {
        const QString owners = Database::instance().GetDataBySQL(
            QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=? AND DataFieldA=? AND ID<>?"),
            {mCategoryCode, indicator.DataFieldA, indicator.ID});
        if (owners.isEmpty()) {
            Messages::instance().warning(ReadFailed);
            return;
        }
        if (owners.toInt() == 0)
            columns << indicator.DataFieldA;
    }
    const std::optional<Holding> holding = recordsWithValues(mCategoryCode, columns);
    if (!holding) {
        Messages::instance().warning(ReadFailed);
        return;
    }
    const QString question = holding->records > 0
                                 ? QStringLiteral("有 %1 份合同填写了指标%2的值，删除后这些值将被清除，是否继续？")
                                       .arg(QString::number(holding->records), quotedNames({indicator.PropertyName}))
                                 : QStringLiteral("您确认删除选定合同文档参数指标吗？");
    if (!Messages::instance().question(question))
        return;
    const bool done = Database::instance().inWriteTransaction([&]() {
        QSqlQuery q(Database::instance().connection());
        return lockCategory(mCategoryCode) &&
               execBound(q, QStringLiteral("DELETE FROM TDataPara WHERE ID=?"), {indicator.ID}) &&
               clearColumns(mCategoryCode, columns, {{indicator.DataFieldA, indicator.PropertyName}});
    });
    if (!done) {
        Messages::instance().warning(QStringLiteral("删除数据发生错误！"));
        return;
    }
    mModel.removeIndicatorAt(row);
    selectRow(qMin(row, mModel.rowCount() - 1));
}

void IndicatorCommands::moveForward() {
    move(-1);
}

void IndicatorCommands::moveBackward() {
    move(1);
}

void IndicatorCommands::move(int step) {
    const int row = currentRow();
    if (row < 0 || row + step < 0 || row + step >= mModel.rowCount())
        return;
    const Indicator &selected = mModel.at(row);
    const int id = selected.ID;
    // Exchanges numbers with the indicator one step away; over a gap only the selected one moves by one.
    QSqlQuery q(Database::instance().connection());
    if (!execBound(q, QStringLiteral("UPDATE TDataPara SET SortIdx=SortIdx-? WHERE SortIdx=? AND MainTypeCode=?"),
                   {step, selected.SortIdx + step, mCategoryCode}))
        Messages::instance().warning(StoreFailed);
    if (!execBound(q, QStringLiteral("UPDATE TDataPara SET SortIdx=SortIdx+? WHERE ID=? AND MainTypeCode=?"),
                   {step, id, mCategoryCode}))
        Messages::instance().warning(StoreFailed);
    reload(false);
    selectRow(mModel.rowOfId(id));
}

void IndicatorCommands::importIndicators() {
    QString sourceCode;
    QString sourceName;
    if (!mSelect || !mSelect(&sourceCode, &sourceName) || sourceCode.isEmpty())
        return;
    if (sourceCode == mCategoryCode) {
        Messages::instance().information(QStringLiteral("不能从本分类导入指标，请选择其它分类！"));
        return;
    }

    bool read = false;
    const QList<Indicator> current = Indicator::ofCategory(mCategoryCode, &read);
    if (!read) {
        Messages::instance().warning(ReadFailed);
        return;
    }
    QList<Indicator> sources;
    {
        QSqlQuery source(Database::instance().connection());
        source.setForwardOnly(true);
        if (!execBound(source, QStringLiteral("SELECT * FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx, ID"),
                       {sourceCode})) {
            Messages::instance().warning(ReadFailed);
            return;
        }
        while (source.next())
            sources.append(Indicator::fromRecord(source.record()));
    }

    // What the records of this category lose: the values of every current indicator the import does not take
    // over. A column an imported indicator gets is emptied too, so that it starts without values left behind.
    QStringList keptColumns;
    for (const Indicator &old : current)
        for (const Indicator &copy : sources)
            if (sameField(old, copy))
                keptColumns << old.DataFieldA;
    QStringList removedColumns;
    for (const Indicator &old : current)
        if (!keptColumns.contains(old.DataFieldA))
            removedColumns << old.DataFieldA;
    QStringList clearedColumns = removedColumns;
    for (const Indicator &copy : sources)
        if (!keptColumns.contains(copy.DataFieldA))
            clearedColumns << copy.DataFieldA;
    const std::optional<Holding> holding = recordsWithValues(mCategoryCode, removedColumns);
    if (!holding) {
        Messages::instance().warning(ReadFailed);
        return;
    }
    QStringList losing;
    for (const Indicator &old : current)
        if (holding->columns.contains(old.DataFieldA) && !losing.contains(old.PropertyName))
            losing << old.PropertyName;

    if (!current.isEmpty()) {
        const QString question =
            holding->records > 0
                ? QStringLiteral("如果您确定从其它分类导入指标，本分类的已经存在指标将被清除。\n"
                                 "有 %1 份合同填写了指标%2的值，导入后这些值将被清除，您确认继续吗？")
                      .arg(QString::number(holding->records), quotedNames(losing))
                : QStringLiteral("如果您确定从其它分类导入指标，本分类的已经存在指标将被清除，您确认继续吗？");
        if (!Messages::instance().question(question))
            return;
    }

    QHash<QString, QString> previousNames;
    for (const Indicator &old : current)
        previousNames.insert(old.DataFieldA, old.PropertyName);

    // One transaction: a failure leaves the category's indicators and its records exactly as they were.
    QString failure;
    QList<Indicator> copies;
    const bool done = Database::instance().inWriteTransaction([&]() {
        QSqlQuery q(Database::instance().connection());
        if (!lockCategory(mCategoryCode) ||
            !execBound(q, QStringLiteral("DELETE FROM TDataPara WHERE MainTypeCode=?"), {mCategoryCode}) ||
            !clearColumns(mCategoryCode, clearedColumns, previousNames)) {
            failure = QStringLiteral("删除数据发生错误！");
            return false;
        }
        for (Indicator copy : sources) {
            copy.MainTypeCode = mCategoryCode;
            const std::optional<qint64> id = Database::instance().insertReturningId(
                QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,"
                               "Unit,DefaultSelect,HisSelect,CalcStr,SortIdx,NoNull,ColWidth,IsSortField,"
                               "DataFieldA,DueRemind,DueDays) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                {copy.MainTypeCode, copy.PropertyName, copy.PropertyType, copy.FormatStr, copy.Unit, copy.DefaultSelect,
                 copy.HisSelect, copy.CalcStr, copy.SortIdx, copy.NoNull, copy.ColWidth, copy.IsSortField,
                 copy.DataFieldA, copy.DueRemind, copy.DueDays});
            if (!id) {
                failure = StoreFailed;
                return false;
            }
            copy.ID = int(*id);
            copies.append(copy);
        }
        return true;
    });
    if (!done) {
        // A transaction that cannot start or commit leaves failure empty: nothing was stored.
        Messages::instance().warning(failure.isEmpty() ? StoreFailed : failure);
        reload(false);
        return;
    }
    mModel.setIndicators(copies);
    selectRow(0);
}

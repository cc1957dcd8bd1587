#include "catalogue/IndicatorCommands.h"

#include "catalogue/IndicatorEditor.h"
#include "platform/Messages.h"
#include "store/Database.h"
#include "store/SqlText.h"

#include <optional>

namespace {
const QString ReadFailed = QStringLiteral("读取数据库发生错误！");
const QString StoreFailed = QStringLiteral("存储数据发生错误！");

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

IndicatorCommands::IndicatorCommands(Database &database, QObject *parent)
    : QObject(parent)
    , mDatabase(database)
    , mStore(database)
    , mCategories(database)
    , mSelection(&mModel) {}

bool IndicatorCommands::load(const QString &categoryCode) {
    mCategoryCode = categoryCode;
    return reload(true);
}

bool IndicatorCommands::reload(bool reportFailure) {
    bool ok = false;
    const QList<Indicator> list = mStore.ofCategory(mCategoryCode, &ok);
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

void IndicatorCommands::addIndicator() {
    if (mEdit && mEdit(IndicatorEditor::IndicatorTable, mCategoryCode, -1))
        reload(true);
}

void IndicatorCommands::editIndicator() {
    const int row = currentRow();
    if (row < 0)
        return;
    if (mEdit && mEdit(IndicatorEditor::IndicatorTable, mCategoryCode, mModel.at(row).ID))
        reload(true);
}

void IndicatorCommands::deleteIndicator() {
    const int row = currentRow();
    if (row < 0)
        return;
    const Indicator indicator = mModel.at(row);
    // The freed value column goes to the next new indicator of the category: the values go with the indicator.
    // A column another indicator of the category still holds keeps its values.
    QStringList columns;
    if (SqlText::isValueColumn(indicator.DataFieldA)) {
        const std::optional<int> owners = mStore.holdersOfColumn(mCategoryCode, indicator.DataFieldA, indicator.ID);
        if (!owners) {
            Messages::instance().warning(ReadFailed);
            return;
        }
        if (*owners == 0)
            columns << indicator.DataFieldA;
    }
    const std::optional<IndicatorStore::Holding> holding = mStore.recordsWithValues(mCategoryCode, columns);
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
    const bool done = mDatabase.inWriteTransaction([&]() {
        return mCategories.lockForWrite(mCategoryCode) && mStore.remove(indicator.ID) &&
               mStore.clearColumns(mCategoryCode, columns, {{indicator.DataFieldA, indicator.PropertyName}});
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
    if (!mStore.shiftNeighbour(mCategoryCode, selected.SortIdx, step))
        Messages::instance().warning(StoreFailed);
    if (!mStore.shiftIndicator(mCategoryCode, id, step))
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
    const std::optional<ImportPlan> plan = planImport(sourceCode);
    if (plan && !storeImport(*plan))
        reload(false);
}

std::optional<IndicatorCommands::ImportPlan> IndicatorCommands::planImport(const QString &sourceCode) {
    bool read = false;
    const QList<Indicator> current = mStore.ofCategory(mCategoryCode, &read);
    ImportPlan plan;
    if (read)
        plan.sources = mStore.ofCategory(sourceCode, &read);
    if (!read) {
        Messages::instance().warning(ReadFailed);
        return std::nullopt;
    }

    // What the records of this category lose: the values of every current indicator the import does not take
    // over. A column an imported indicator gets is emptied too, so that it starts without values left behind.
    QStringList keptColumns;
    for (const Indicator &old : current)
        for (const Indicator &copy : std::as_const(plan.sources))
            if (sameField(old, copy))
                keptColumns << old.DataFieldA;
    QStringList removedColumns;
    for (const Indicator &old : current)
        if (!keptColumns.contains(old.DataFieldA))
            removedColumns << old.DataFieldA;
    plan.clearedColumns = removedColumns;
    for (const Indicator &copy : std::as_const(plan.sources))
        if (!keptColumns.contains(copy.DataFieldA))
            plan.clearedColumns << copy.DataFieldA;
    const std::optional<IndicatorStore::Holding> holding = mStore.recordsWithValues(mCategoryCode, removedColumns);
    if (!holding) {
        Messages::instance().warning(ReadFailed);
        return std::nullopt;
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
            return std::nullopt;
    }

    for (const Indicator &old : current)
        plan.previousNames.insert(old.DataFieldA, old.PropertyName);
    return plan;
}

bool IndicatorCommands::storeImport(const ImportPlan &plan) {
    // One transaction: a failure leaves the category's indicators and its records exactly as they were.
    QString failure;
    QList<Indicator> copies;
    const bool done = mDatabase.inWriteTransaction([&]() {
        if (!mCategories.lockForWrite(mCategoryCode) || !mStore.removeOfCategory(mCategoryCode) ||
            !mStore.clearColumns(mCategoryCode, plan.clearedColumns, plan.previousNames)) {
            failure = QStringLiteral("删除数据发生错误！");
            return false;
        }
        for (Indicator copy : plan.sources) {
            copy.MainTypeCode = mCategoryCode;
            const std::optional<qint64> id = mStore.insertCopy(copy);
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
        return false;
    }
    mModel.setIndicators(copies);
    selectRow(0);
    return true;
}

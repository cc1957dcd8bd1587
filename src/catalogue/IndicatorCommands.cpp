#include "IndicatorCommands.h"

#include "IndicatorEditor.h"
#include "Messages.h"
#include "SqlText.h"
#include "TDM.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString ReadFailed = QStringLiteral("读取数据库发生错误！");
const QString StoreFailed = QStringLiteral("存储数据发生错误！");
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
    if (!Messages::instance().question(QStringLiteral("您确认删除选定合同文档参数指标吗？")))
        return;
    const Indicator indicator = mModel.at(row);
    // The freed value column goes to the next new indicator of the category: its old values must not show up there.
    const bool done = TDM::instance().inTransaction([&]() {
        QSqlQuery q(TDM::instance().ADOLocal());
        if (!execBound(q, QStringLiteral("DELETE FROM TDataPara WHERE ID=?"), {indicator.ID}))
            return false;
        if (!SqlText::isValueColumn(indicator.DataFieldA))
            return true;
        if (!execBound(q, QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=? AND DataFieldA=?"),
                       {mCategoryCode, indicator.DataFieldA}) ||
            !q.next())
            return false;
        if (q.value(0).toInt() > 0)
            return true;
        return execBound(q,
                         QStringLiteral("UPDATE TContractMain SET ") + indicator.DataFieldA +
                             QStringLiteral("='' WHERE MainTypeCode=?"),
                         {mCategoryCode});
    });
    if (!done) {
        Messages::instance().warning(QStringLiteral("删除数据发生错误！"));
        return;
    }
    mModel.removeIndicatorAt(row);
    selectRow(qMin(row, mModel.rowCount() - 1));
}

void IndicatorCommands::SpeedButton2Click() {
    move(-1);
}

void IndicatorCommands::SpeedButton3Click() {
    move(1);
}

void IndicatorCommands::move(int step) {
    const int row = currentRow();
    if (row < 0 || row + step < 0 || row + step >= mModel.rowCount())
        return;
    const Indicator &selected = mModel.at(row);
    const int id = selected.ID;
    // Exchanges numbers with the indicator one step away; over a gap only the selected one moves by one.
    QSqlQuery q(TDM::instance().ADOLocal());
    if (!execBound(q, QStringLiteral("UPDATE TDataPara SET SortIdx=SortIdx-? WHERE SortIdx=? AND MainTypeCode=?"),
                   {step, selected.SortIdx + step, mCategoryCode}))
        Messages::instance().warning(StoreFailed);
    if (!execBound(q, QStringLiteral("UPDATE TDataPara SET SortIdx=SortIdx+? WHERE ID=? AND MainTypeCode=?"),
                   {step, id, mCategoryCode}))
        Messages::instance().warning(StoreFailed);
    reload(false);
    selectRow(mModel.rowOfId(id));
}

void IndicatorCommands::SpeedButton1Click() {
    QString sourceCode;
    QString sourceName;
    if (!mSelect || !mSelect(&sourceCode, &sourceName) || sourceCode.isEmpty())
        return;
    if (sourceCode == mCategoryCode) {
        Messages::instance().information(QStringLiteral("不能从本分类导入指标，请选择其它分类！"));
        return;
    }
    if (mModel.rowCount() > 0 && !Messages::instance().question(QStringLiteral(
                                     "如果您确定从其它分类导入指标，本分类的已经存在指标将被清除，您确认继续吗？")))
        return;

    // One transaction: a failure leaves the category's indicators exactly as they were.
    QString failure;
    QList<Indicator> copies;
    const bool done = TDM::instance().inTransaction([&]() {
        QSqlQuery q(TDM::instance().ADOLocal());
        if (!execBound(q, QStringLiteral("DELETE FROM TDataPara WHERE MainTypeCode=?"), {mCategoryCode})) {
            failure = QStringLiteral("删除数据发生错误！");
            return false;
        }
        QSqlQuery source(TDM::instance().ADOLocal());
        source.setForwardOnly(true);
        if (!execBound(source, QStringLiteral("SELECT * FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx, ID"),
                       {sourceCode})) {
            failure = ReadFailed;
            return false;
        }
        while (source.next()) {
            Indicator copy = Indicator::fromRecord(source.record());
            copy.MainTypeCode = mCategoryCode;
            if (!execBound(q,
                           QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,"
                                          "Unit,DefaultSelect,HisSelect,CalcStr,SortIdx,NoNull,ColWidth,IsSortField,"
                                          "DataFieldA) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                           {copy.MainTypeCode, copy.PropertyName, copy.PropertyType, copy.FormatStr, copy.Unit,
                            copy.DefaultSelect, copy.HisSelect, copy.CalcStr, copy.SortIdx, copy.NoNull, copy.ColWidth,
                            copy.IsSortField, copy.DataFieldA})) {
                failure = StoreFailed;
                return false;
            }
            copy.ID = q.lastInsertId().toInt();
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

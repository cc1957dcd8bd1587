#include "catalogue/IndicatorPicker.h"

#include "platform/Messages.h"
#include "store/Database.h"

#include <QSqlQuery>

IndicatorPicker::IndicatorPicker(const QString &categoryCode)
    : mCategoryCode(categoryCode)
    , mSelection(&mModel) {
    mModel.setColumnCount(1);
    mModel.setHorizontalHeaderLabels({QStringLiteral("合同指标名称")});
}

bool IndicatorPicker::ReadyData() {
    QSqlQuery q(Database::instance().connection());
    q.setForwardOnly(true);
    if (!execBound(q, QStringLiteral("SELECT PropertyName FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx, ID"),
                   {mCategoryCode})) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！"));
        return false;
    }
    while (q.next()) {
        auto *item = new QStandardItem(q.value(0).toString());
        item->setEditable(false);
        mModel.appendRow(item);
    }
    if (mModel.rowCount() > 0)
        mSelection.setCurrentIndex(mModel.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

bool IndicatorPicker::cmdSelectClick() {
    const QModelIndex current = mSelection.currentIndex();
    if (mModel.rowCount() == 0 || !current.isValid())
        return false;
    mName = mModel.data(mModel.index(current.row(), 0)).toString();
    mCancelled = false;
    return true;
}

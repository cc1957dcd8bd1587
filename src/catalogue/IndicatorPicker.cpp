#include "catalogue/IndicatorPicker.h"

#include "platform/Messages.h"
#include "store/IndicatorStore.h"

IndicatorPicker::IndicatorPicker(Database &database, const QString &categoryCode)
    : mDatabase(database)
    , mCategoryCode(categoryCode)
    , mSelection(&mModel) {
    mModel.setColumnCount(1);
    mModel.setHorizontalHeaderLabels({QStringLiteral("合同指标名称")});
}

bool IndicatorPicker::load() {
    bool read = false;
    const QList<Indicator> indicators = IndicatorStore(mDatabase).ofCategory(mCategoryCode, &read);
    if (!read) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！"));
        return false;
    }
    for (const Indicator &indicator : indicators) {
        auto *item = new QStandardItem(indicator.PropertyName);
        item->setEditable(false);
        mModel.appendRow(item);
    }
    if (mModel.rowCount() > 0)
        mSelection.setCurrentIndex(mModel.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

bool IndicatorPicker::choose() {
    const QModelIndex current = mSelection.currentIndex();
    if (mModel.rowCount() == 0 || !current.isValid())
        return false;
    mName = mModel.data(mModel.index(current.row(), 0)).toString();
    mCancelled = false;
    return true;
}

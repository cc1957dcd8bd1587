#include "catalogue/CategoryPicker.h"

#include "platform/Messages.h"
#include "store/CategoryStore.h"

CategoryPicker::CategoryPicker(Database &database)
    : mDatabase(database)
    , mSelection(&mModel) {}

bool CategoryPicker::load() {
    if (!mModel.load(CategoryStore(mDatabase))) {
        Messages::instance().warning(QStringLiteral("读取数据出现错误。"));
        return false;
    }
    if (mModel.rowCount() > 0)
        mSelection.setCurrentIndex(mModel.firstNode(), QItemSelectionModel::ClearAndSelect);
    return true;
}

bool CategoryPicker::choose() {
    const QModelIndex node = mSelection.currentIndex();
    if (!node.isValid())
        return false;
    if (!mModel.isChild(node)) {
        Messages::instance().information(QStringLiteral("请选择下级分类！"));
        return false;
    }
    const CategoryRecord record = mModel.goodsClass(node);
    mCode = record.TypeCode;
    mName = record.TypeName;
    mCancelled = false;
    return true;
}

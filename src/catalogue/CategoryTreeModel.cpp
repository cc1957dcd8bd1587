#include "catalogue/CategoryTreeModel.h"

#include "store/CategoryStore.h"

#include <QCollator>

namespace {

// Names sort as a Chinese user reads them (pinyin order), whatever the locale of the process.
class CategoryItem : public QStandardItem {
public:
    using QStandardItem::QStandardItem;

    bool operator<(const QStandardItem &other) const override {
        static const QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
        const int order = collator.compare(text(), other.text());
        if (order != 0)
            return order < 0;
        return data(CategoryTreeModel::GoodsClassRole).value<CategoryRecord>().TypeCode <
               other.data(CategoryTreeModel::GoodsClassRole).value<CategoryRecord>().TypeCode;
    }

    QStandardItem *clone() const override { return new CategoryItem(*this); }
};

} // namespace

CategoryTreeModel::CategoryTreeModel(QObject *parent)
    : QStandardItemModel(parent) {
    setColumnCount(1);
}

bool CategoryTreeModel::load(const CategoryStore &store, QString *error) {
    const auto rows = store.all(error);
    if (!rows) {
        build({});
        return false;
    }
    build(*rows);
    return true;
}

void CategoryTreeModel::build(const QList<CategoryRecord> &rows) {
    clear();
    setColumnCount(1);
    QStandardItem *lastRoot = nullptr;
    for (const CategoryRecord &row : rows) {
        QStandardItem *item = makeItem(row);
        if (row.isChild()) {
            // A child row before any root has no parent to go under; it cannot be shown.
            if (!lastRoot) {
                delete item;
                continue;
            }
            lastRoot->appendRow(item);
        } else {
            invisibleRootItem()->appendRow(item);
            lastRoot = item;
        }
    }
    sortSiblings();
}

QModelIndex CategoryTreeModel::addRoot(const CategoryRecord &record) {
    QStandardItem *item = makeItem(record);
    invisibleRootItem()->appendRow(item);
    sortSiblings();
    return item->index();
}

QModelIndex CategoryTreeModel::addChild(const QModelIndex &root, const CategoryRecord &record) {
    QStandardItem *parentItem = itemFromIndex(root);
    if (!parentItem)
        return {};
    QStandardItem *item = makeItem(record);
    parentItem->appendRow(item);
    sortSiblings();
    return item->index();
}

void CategoryTreeModel::setCaption(const QModelIndex &index, const QString &caption) {
    if (QStandardItem *item = itemFromIndex(index)) {
        item->setText(caption);
        sortSiblings();
    }
}

bool CategoryTreeModel::removeNode(const QModelIndex &index) {
    if (!index.isValid())
        return false;
    return removeRow(index.row(), index.parent());
}

CategoryRecord CategoryTreeModel::goodsClass(const QModelIndex &index) const {
    return index.isValid() ? index.data(GoodsClassRole).value<CategoryRecord>() : CategoryRecord{};
}

QString CategoryTreeModel::caption(const QModelIndex &index) const {
    return index.data(Qt::DisplayRole).toString();
}

bool CategoryTreeModel::isChild(const QModelIndex &index) const {
    return index.isValid() && goodsClass(index).isChild();
}

QModelIndex CategoryTreeModel::firstNode() const {
    return index(0, 0);
}

QModelIndex CategoryTreeModel::findCode(const QString &typeCode) const {
    for (int r = 0; r < rowCount(); ++r) {
        const QModelIndex root = index(r, 0);
        if (goodsClass(root).TypeCode == typeCode)
            return root;
        for (int c = 0; c < rowCount(root); ++c) {
            const QModelIndex child = index(c, 0, root);
            if (goodsClass(child).TypeCode == typeCode)
                return child;
        }
    }
    return {};
}

void CategoryTreeModel::setIcons(const QIcon &rootIcon, const QIcon &childIcon) {
    mRootIcon = rootIcon;
    mChildIcon = childIcon;
    for (int r = 0; r < rowCount(); ++r) {
        QStandardItem *root = item(r);
        root->setIcon(mRootIcon);
        for (int c = 0; c < root->rowCount(); ++c)
            root->child(c)->setIcon(root->child(c)->data(GoodsClassRole).value<CategoryRecord>().isChild() ? mChildIcon
                                                                                                           : mRootIcon);
    }
}

QStandardItem *CategoryTreeModel::makeItem(const CategoryRecord &record) const {
    auto *item = new CategoryItem(record.TypeName);
    item->setEditable(false);
    item->setData(QVariant::fromValue(record), GoodsClassRole);
    item->setIcon(record.isChild() ? mChildIcon : mRootIcon);
    return item;
}

void CategoryTreeModel::sortSiblings() {
    sort(0, Qt::AscendingOrder);
}

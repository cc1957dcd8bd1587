#pragma once

#include "store/CategoryRecord.h"

#include <QIcon>
#include <QList>
#include <QStandardItemModel>

#include <optional>

class CategoryStore;

// The category tree shared by the template management window, the contract register and the category picker:
// roots at the top level, child categories below them, siblings sorted by name, each node carrying its CategoryRecord.
// The windows decide which message a failed read shows and what a click does.
class CategoryTreeModel : public QStandardItemModel {
    Q_OBJECT

public:
    static constexpr int GoodsClassRole = Qt::UserRole + 1;

    explicit CategoryTreeModel(QObject *parent = nullptr);

    // Reads the categories and rebuilds the tree; false (tree left empty) when they cannot be read.
    bool load(const CategoryStore &store, QString *error = nullptr);
    // Builds from rows in TypeCode order: a child goes under the root read most recently.
    void build(const QList<CategoryRecord> &rows);

    // New nodes are put in their sorted place; the returned index is valid after sorting.
    QModelIndex addRoot(const CategoryRecord &record);
    QModelIndex addChild(const QModelIndex &root, const CategoryRecord &record);
    // Changes the caption (not the record) and moves the node to its sorted place.
    void setCaption(const QModelIndex &index, const QString &caption);
    bool removeNode(const QModelIndex &index);

    CategoryRecord goodsClass(const QModelIndex &index) const;
    QString caption(const QModelIndex &index) const;
    // A node counts as a child category when its level is non-zero.
    bool isChild(const QModelIndex &index) const;
    // The topmost root, or an invalid index for an empty tree.
    QModelIndex firstNode() const;
    QModelIndex findCode(const QString &typeCode) const;

    // Icon 0 for roots, icon 1 for child categories.
    void setIcons(const QIcon &rootIcon, const QIcon &childIcon);

private:
    QStandardItem *makeItem(const CategoryRecord &record) const;
    void sortSiblings();

    QIcon mRootIcon;
    QIcon mChildIcon;
};

#pragma once

#include "catalogue/CategoryTreeModel.h"
#include "store/CategoryStore.h"

#include <QItemSelectionModel>
#include <QObject>

class Database;

// What the template management window decides about its category tree: building it, the four tree commands and
// the reaction to a click. The window shows the tree through selectionModel() and reacts to the two signals.
class CategoryCommands : public QObject {
    Q_OBJECT

public:
    explicit CategoryCommands(Database &database, QObject *parent = nullptr);

    CategoryTreeModel *model() { return &mModel; }
    QItemSelectionModel *selectionModel() { return &mSelection; }

    // Builds the tree, selects the topmost root and shows it; false (with the message) when the categories
    // cannot be read.
    bool loadTree();

    // The node the commands act on.
    QModelIndex selected() const { return mSelection.currentIndex(); }
    void select(const QModelIndex &index);

    // The selected node was clicked: a child category's pages are shown, anything else hides them.
    void showSelected();
    void addRootCategory();
    void addChildCategory();
    void renameCategory();
    void deleteCategory();

    // Code of the child category whose pages are shown; empty until one is clicked.
    QString currentCode() const { return mCurrentCode; }

Q_SIGNALS:
    // A child category was clicked: show its pages.
    void childCategoryClicked(const QString &typeCode, const QString &caption);
    // No child category is selected: the right side shows only its prompt.
    void pagesHidden();
    // A root got a new child: the view opens it.
    void rootExpanded(const QModelIndex &root);

private:
    bool insertCategory(const CategoryRecord &record);

    Database &mDatabase;
    CategoryStore mStore;
    CategoryTreeModel mModel;
    QItemSelectionModel mSelection;
    QString mCurrentCode;
};

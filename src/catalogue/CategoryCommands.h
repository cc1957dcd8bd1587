#pragma once

#include "catalogue/CategoryTreeModel.h"

#include <QItemSelectionModel>
#include <QObject>

// What the template management window decides about its category tree: building it, the four tree commands and
// the reaction to a click. The window shows the tree through selectionModel() and reacts to the two signals.
class CategoryCommands : public QObject {
    Q_OBJECT

public:
    explicit CategoryCommands(QObject *parent = nullptr);

    CategoryTreeModel *model() { return &mModel; }
    QItemSelectionModel *selectionModel() { return &mSelection; }

    // Builds the tree, selects the topmost root and runs TreeClick; false (with the message) when the categories
    // cannot be read.
    bool ReadyData();

    // The node the commands act on.
    QModelIndex selected() const { return mSelection.currentIndex(); }
    void select(const QModelIndex &index);

    void TreeClick();
    void cmdAddRootClick();
    void addChildCategory();
    void cmdEditClick();
    void cmdDeleteClick();

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

    CategoryTreeModel mModel;
    QItemSelectionModel mSelection;
    QString mCurrentCode;
};

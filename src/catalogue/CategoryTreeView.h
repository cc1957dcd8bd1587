#pragma once

#include <QTreeView>

class CategoryTreeModel;

// The tree control of the three category windows: no in-place editing, selecting a node expands it and collapses
// the node selected before, the selection stays visible without focus, folder icons for roots and document icons
// for child categories. Clicks reach the window through QTreeView::clicked; Enter through enterPressed.
class CategoryTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit CategoryTreeView(QWidget *parent = nullptr);

    // Shows the model (and gives it the style's icons); the selection model may belong to the window's logic.
    void setCategoryModel(CategoryTreeModel *model, QItemSelectionModel *selection = nullptr);

Q_SIGNALS:
    void enterPressed();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
};

#pragma once

#include <QTreeView>

class CategoryTreeModel;

// The tree control of the three category windows: no in-place editing, selecting a node expands it and collapses
// the node selected before, the selection stays visible without focus, folder icons for roots and document icons
// for child categories. Clicks reach the window through QTreeView::clicked; Enter through enterPressed.
// While a mouse button is down the expanding and collapsing wait for its release: they move the rows, and the
// release would otherwise land on another row than the press (no click, or a click on another node).
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
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Collapses the node selected before (unless it holds the new one), expands and shows the new one.
    void openCurrent(const QModelIndex &current, const QModelIndex &previous);

    bool mMouseDown = false;
    bool mOpenPending = false;
    // The current node before the first change that waits for the release.
    QPersistentModelIndex mPendingPrevious;
};

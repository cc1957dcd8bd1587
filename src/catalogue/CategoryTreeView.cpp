#include "catalogue/CategoryTreeView.h"

#include "catalogue/CategoryTreeModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

CategoryTreeView::CategoryTreeView(QWidget *parent)
    : QTreeView(parent) {
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

void CategoryTreeView::setCategoryModel(CategoryTreeModel *model, QItemSelectionModel *selection) {
    model->setIcons(style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon));
    setModel(model);
    if (selection) {
        QItemSelectionModel *own = selectionModel();
        setSelectionModel(selection);
        if (own && own != selection)
            own->deleteLater();
    }
    if (currentIndex().isValid())
        expand(currentIndex());
}

void CategoryTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QTreeView::currentChanged(current, previous);
    if (mMouseDown) {
        if (!mOpenPending)
            mPendingPrevious = previous;
        mOpenPending = true;
        return;
    }
    openCurrent(current, previous);
}

void CategoryTreeView::openCurrent(const QModelIndex &current, const QModelIndex &previous) {
    if (previous.isValid() && previous != current && previous != current.parent())
        collapse(previous);
    if (current.isValid()) {
        expand(current);
        scrollTo(current);
    }
}

void CategoryTreeView::mousePressEvent(QMouseEvent *event) {
    mMouseDown = true;
    QTreeView::mousePressEvent(event);
}

void CategoryTreeView::mouseReleaseEvent(QMouseEvent *event) {
    // The click (and the window's reaction to it) comes first, on the rows as they were at the press.
    QTreeView::mouseReleaseEvent(event);
    if (event->buttons() != Qt::NoButton)
        return;
    mMouseDown = false;
    if (mOpenPending) {
        mOpenPending = false;
        const QModelIndex previous = mPendingPrevious;
        mPendingPrevious = QPersistentModelIndex();
        openCurrent(currentIndex(), previous);
    }
}

void CategoryTreeView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT enterPressed();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

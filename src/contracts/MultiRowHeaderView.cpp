#include "contracts/MultiRowHeaderView.h"

#include <QPainter>
#include <QStyleOptionHeader>

MultiRowHeaderView::MultiRowHeaderView(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignCenter);
}

QStringList MultiRowHeaderView::pieces(int logical) const {
    if (!model())
        return {};
    return model()->headerData(logical, orientation(), Qt::DisplayRole).toString().split(QLatin1Char('|'));
}

int MultiRowHeaderView::levelCount() const {
    int levels = 1;
    for (int i = 0; i < count(); ++i) {
        if (!isSectionHidden(i))
            levels = std::max(levels, int(pieces(i).size()));
    }
    return levels;
}

bool MultiRowHeaderView::sharesUpperCell(const QStringList &a, const QStringList &b, int level) {
    if (a.size() <= level + 1 || b.size() <= level + 1)
        return false;
    for (int k = 0; k <= level; ++k) {
        if (a.at(k) != b.at(k))
            return false;
    }
    return true;
}

QPair<int, int> MultiRowHeaderView::spanAt(int logical, int level) const {
    const QStringList own = pieces(logical);
    int first = logical;
    int last = logical;
    if (level + 1 >= own.size())
        return {first, last};
    // Hidden columns between two sharing ones do not break the shared cell.
    for (int v = visualIndex(logical) - 1; v >= 0; --v) {
        const int l = logicalIndex(v);
        if (isSectionHidden(l))
            continue;
        if (!sharesUpperCell(own, pieces(l), level))
            break;
        first = l;
    }
    for (int v = visualIndex(logical) + 1; v < count(); ++v) {
        const int l = logicalIndex(v);
        if (isSectionHidden(l))
            continue;
        if (!sharesUpperCell(own, pieces(l), level))
            break;
        last = l;
    }
    return {first, last};
}

QString MultiRowHeaderView::cellText(int logical, int level) const {
    const QStringList p = pieces(logical);
    if (level < p.size() - 1)
        return p.at(level);
    return level == p.size() - 1 ? p.last() : QString();
}

int MultiRowHeaderView::rowHeight() const {
    return fontMetrics().height() + 6;
}

QSize MultiRowHeaderView::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.setHeight(rowHeight() * levelCount());
    return size;
}

void MultiRowHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    const int levels = levelCount();
    const QStringList p = pieces(logicalIndex);
    const int lineHeight = rect.height() / levels;
    const Qt::Alignment alignment = Qt::AlignCenter;

    painter->save();
    painter->setClipRect(rect);
    for (int level = 0; level < p.size(); ++level) {
        const bool last = level == p.size() - 1;
        QRect cell = rect;
        cell.setTop(rect.top() + level * lineHeight);
        cell.setBottom(last ? rect.bottom() : rect.top() + (level + 1) * lineHeight - 1);
        if (!last) {
            // An upper cell reaches over every column that shares it; each column paints its own part.
            const auto [first, end] = spanAt(logicalIndex, level);
            const int left = rect.left() + sectionViewportPosition(first) - sectionViewportPosition(logicalIndex);
            const int right =
                rect.left() + sectionViewportPosition(end) + sectionSize(end) - sectionViewportPosition(logicalIndex);
            cell.setLeft(left);
            cell.setRight(right - 1);
        }
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = cell;
        opt.section = logicalIndex;
        opt.text = p.at(level);
        opt.textAlignment = alignment;
        opt.position = QStyleOptionHeader::Middle;
        opt.state |= QStyle::State_Raised;
        if (isEnabled())
            opt.state |= QStyle::State_Enabled;
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    }
    painter->restore();
}

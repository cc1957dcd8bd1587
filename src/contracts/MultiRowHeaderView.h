#pragma once

#include <QHeaderView>
#include <QStringList>

// A horizontal header that shows titles holding "|" in several rows: "金额|合计" shows 金额 over 合计, and
// neighbouring columns whose titles begin with the same text before a "|" share that upper cell. The last piece
// of a title fills the rows below its upper cells.
class MultiRowHeaderView : public QHeaderView {
    Q_OBJECT

public:
    explicit MultiRowHeaderView(QWidget *parent = nullptr);

    // Header rows needed by the visible columns.
    int levelCount() const;
    // The logical sections (first and last, in visual order) that share the cell of `logical` at `level`; the
    // section alone when the cell is its own.
    QPair<int, int> spanAt(int logical, int level) const;
    // The text of the cell of `logical` at `level` (empty below a title's last piece).
    QString cellText(int logical, int level) const;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QStringList pieces(int logical) const;
    // Whether two titles share their cell at the level: both go on below it and agree up to it.
    static bool sharesUpperCell(const QStringList &a, const QStringList &b, int level);
    int rowHeight() const;
};

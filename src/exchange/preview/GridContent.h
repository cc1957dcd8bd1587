#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>

// What a data grid shows, handed to the print preview and the spreadsheet export: its columns in grid order
// (hidden ones included, so indexes match the grid's) and one row of display texts per record.
struct GridColumn {
    // "|" splits the title into header rows: "合同|甲方" is 合同 over 甲方.
    QString title;
    // The dataset field the column shows (for callers that read values by name).
    QString fieldName;
    // Width in pixels.
    int width = 80;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool visible = true;
};

struct GridContent {
    QList<GridColumn> columns;
    // One display text per column, hidden columns included, as the grid itself shows them.
    QList<QStringList> rows;
    // Row height of the grid in pixels; 0 when the grid does not report one.
    int rowHeight = 0;
    // False when the grid's dataset has not been opened (no query has run).
    bool isOpen = true;
};

#pragma once

#include "store/Indicator.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSqlRecord>
#include <QString>

#include <array>

// The entry dialog's working copy of one contract record: one row per indicator of the category with its name,
// type text, value and the indicator fields the editors, formulas and numbering need. After loading, everything
// reads and writes these cells; nothing is read again from the indicator table.
class ContractEntryGrid : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        ColName = 0,
        ColType = 1,
        ColValue = 2,
        ColFormat = 3,
        ColUnit = 4,
        ColDefaultSelect = 5,
        ColHisSelect = 6,
        ColCalcStr = 7,
        ColNoNull = 8,
        ColDataField = 9,
        ColumnCount = 10
    };

    explicit ContractEntryGrid(QObject *parent = nullptr);

    // One row per indicator in the given order; the value of each row comes from the record's column named by
    // DataFieldA when a record is given, else the value stays empty.
    void load(const QList<Indicator> &indicators, const QSqlRecord *record);
    // Rows given directly as their ten cells; for tests and the benchmark data.
    void setRows(const QList<std::array<QString, ColumnCount>> &rows);

    int rows() const { return int(mRows.size()); }
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    QString value(int row) const { return cell(row, ColValue); }
    void setValue(int row, const QString &text) { setCell(row, ColValue, text); }
    QString name(int row) const { return cell(row, ColName); }
    // The first row bearing the name, -1 when none does.
    int rowOf(const QString &name) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Columns that the dialog shows; the others are carried for the logic only.
    static bool isShownColumn(int column);

private:
    QList<std::array<QString, ColumnCount>> mRows;
};

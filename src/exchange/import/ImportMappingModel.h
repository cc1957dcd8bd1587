#pragma once

#include <QAbstractTableModel>
#include <QStringList>

struct Indicator;

// The mapping grid of the import dialog: one row per indicator with its name, value column, type text, two
// columns the dialog hides, and the worksheet column that fills it (empty: none).
class ImportMappingModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { PropertyName = 0, DataField = 1, TypeText = 2, UniqueKey = 3, Required = 4, ExcelColumn = 5 };

    struct Row {
        QString propertyName;
        QString dataField;
        QString typeText;
        QString excelColumn;
        // The indicator's PropertyType and display format (number mask or date format), for the values' form.
        int propertyType = 0;
        QString format;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setIndicators(const QList<Indicator> &indicators);
    void setExcelColumn(int row, const QString &column);
    void clearExcelColumns();
    const QList<Row> &rows() const { return mRows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<Row> mRows;
};

#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>

#include <vector>

// The register's record list: a snapshot of one query, held compactly (every cell as UTF-8 in one block) so a
// category of a hundred thousand records loads and filters quickly. Text is decoded only for the cells a view
// asks for. Column 0 is the record's ID under "编号"; the others are value columns with their titles.
// The filter narrows the loaded rows; it runs no query.
class ContractRecordModel : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Column {
        QString field; // "ID" or a value column such as "Data7"
        QString title;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };

    // How the values of a sort column are compared: text byte by byte as the database compares it, numbers by
    // their value, dates by the moment they name. Values that do not read as a number or date come after the
    // readable ones, in text order.
    enum class SortKind { Text, Number, Date };
    struct SortKey {
        QString field;
        SortKind kind = SortKind::Text;
        QString format; // the date format the values were written with
        bool descending = false;
    };

    explicit ContractRecordModel(QObject *parent = nullptr);

    // The order of the rows, applied after the statement ran (rows equal on every key keep the statement's order);
    // no keys keep the statement's order. Takes effect at the next open or reopen.
    void setSortKeys(const QList<SortKey> &keys) { mSortKeys = keys; }

    // Runs the statement (its select list must be the fields of `columns` followed by `extraFields`, in that
    // order) and keeps its rows. On failure the model is left empty and the error is returned.
    bool open(const QString &sql, const QVariantList &binds, const QList<Column> &columns,
              const QStringList &extraFields, QString *error = nullptr);
    // Runs the last statement again.
    bool reopen(QString *error = nullptr);
    // Drops the rows (the columns stay).
    void close();
    bool isOpen() const { return mOpen; }

    // Shows only rows whose value in `field` contains `text`, ignoring the case of Latin letters as the database's
    // LIKE does; wildcard characters in the text are plain characters. An empty field switches the filter off.
    void setFilter(const QString &field, const QString &text);
    QString filterField() const { return mFilterField; }
    QString filterText() const { return mFilterText; }

    int recordCount() const { return int(mShown.size()); }
    qint64 recordId(int row) const;
    QString text(int row, int column) const;
    // The value of any loaded field (shown column or extra field) of a shown row.
    QString fieldText(int row, const QString &field) const;
    const QList<Column> &columns() const { return mColumns; }
    // Removes a shown row from the snapshot (after it was deleted in the database).
    void removeShownRow(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Keeps the column definitions of the grid while the records stay as they are.
    void setColumns(const QList<Column> &columns);

private:
    QByteArrayView cell(int storedRow, int field) const;
    int fieldIndex(const QString &field) const;
    void refilter();
    void sortRows();

    QList<Column> mColumns;
    QStringList mFields; // every loaded field: the columns', then the extra ones
    QString mSql;
    QVariantList mBinds;
    QStringList mExtraFields;
    QList<SortKey> mSortKeys;
    bool mOpen = false;

    QByteArray mArena;
    std::vector<quint32> mOffsets; // start of every cell, row by row, and one end mark
    std::vector<int> mRows;        // stored rows still in the snapshot, in query order
    std::vector<int> mShown;       // the rows the filter lets through

    QString mFilterField;
    QString mFilterText;
};

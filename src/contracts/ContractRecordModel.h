#pragma once

#include <QAbstractTableModel>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>
#include <algorithm>

#include <memory>
#include <vector>

class Database;

// The register's record list: a snapshot of one query, held compactly (every cell as UTF-8 in one block) so a
// category of a hundred thousand records loads and filters quickly. Text is decoded only for the cells a view
// asks for. Column 0 is the record's ID under "编号"; the others are value columns with their titles.
// The filter narrows the loaded rows; it runs no query.
//
// Read in the background (setReadInBackground), a reader thread with a connection of its own reads the rows while
// the list shows those that have come: open() returns once the first screen of rows is there (or all of them, for
// a category that small), the rest is added as it comes, and loaded() tells when all are in. A filter set
// meanwhile applies to the rows that come later too; the sort keys take effect when all rows are in.
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

    explicit ContractRecordModel(Database &database, QObject *parent = nullptr);
    ~ContractRecordModel() override;

    // Reads of open and reopen go to a reader thread; see above. Off by default: the rows are all in when open()
    // returns.
    void setReadInBackground(bool on) { mInBackground = on; }
    // How many rows a background read has shown when open() returns (a screen of the list).
    void setFirstScreenRows(int rows) { mFirstScreenRows = std::max(rows, 1); }
    // True while a background read is still adding rows.
    bool isLoading() const { return bool(mLoader); }
    // Waits for a background read to bring in its last rows; returns at once when none is running. False when
    // that read failed (the list is then empty).
    bool finishLoading();

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

Q_SIGNALS:
    // A background read has brought in its last row (ok), or failed with the reason (the list is then empty).
    void loaded(bool ok, const QString &error);

private:
    // Rows as read: their texts one after the other in one block, and for every row the start of each of its
    // cells and the end of its last. A block is never grown once handed to the model, so no text is copied twice.
    struct Batch {
        QByteArray bytes;
        std::vector<quint32> offsets;
        int rows = 0;
    };
    struct Loader;

    // Reads every row here, before returning.
    bool readAll(QString *error);
    // Starts the reader thread of a background read.
    void startReader();
    // Waits for the reader thread's first screen of rows (or all of them) and shows it.
    bool takeFirstScreen(QString *error);
    QByteArrayView cell(int storedRow, int field) const;
    int fieldIndex(const QString &field) const;
    void clearRows();
    void refilter();
    struct SortColumn;
    void readNumbers(SortColumn &key) const;
    void readDates(SortColumn &key, const QString &format) const;
    // Negative when row a comes first on this key, positive when b does, 0 when they are equal on it.
    int compareRows(const SortColumn &key, int a, int b) const;
    void sortRows();
    bool matchesFilter(int storedRow, int field, const QByteArray &needle) const;
    QByteArray foldedNeedle() const;
    // Appends read rows (not yet shown: the caller tells the view).
    void appendBatch(Batch &&batch);
    // Takes the rows the reader thread has read so far into the list; ends the read when it is done.
    void takeBatches();
    void stopLoading();
    bool completeLoading(bool ok, const QString &error, bool inReset);

    Database &mDb;
    QList<Column> mColumns;
    QStringList mFields; // every loaded field: the columns', then the extra ones
    QString mSql;
    QVariantList mBinds;
    QStringList mExtraFields;
    QList<SortKey> mSortKeys;
    bool mOpen = false;

    bool mInBackground = false;
    int mFirstScreenRows = 200;
    std::unique_ptr<Loader> mLoader;
    quint64 mGeneration = 0; // which background read a message of the reader thread belongs to

    std::vector<Batch> mBatches;
    std::vector<Batch> mDiscarded;   // rows of the previous read, freed by the next reader thread
    std::vector<quint32> mRowBatch;  // by stored row: its batch
    std::vector<int> mBatchFirstRow; // by batch: its first stored row
    std::vector<int> mRows;          // stored rows still in the snapshot, in query order
    std::vector<int> mShown;         // the rows the filter lets through

    QString mFilterField;
    QString mFilterText;
};

#pragma once

#include "contracts/ContractRecordModel.h"
#include "store/ContractStore.h"
#include "store/Indicator.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

// What the contract register decides, without its widgets: the grid columns of the current category, the
// record query and its sort, the filter that outlives re-reads, deleting and copying records, deleting a
// generated document, and storing the column widths.
class ContractRegister : public QObject {
    Q_OBJECT

public:
    explicit ContractRegister(Database &database, QObject *parent = nullptr);

    // The category whose records are listed; empty until a child category is chosen.
    QString currentCategory() const { return mCategory; }
    void setCurrentCategory(const QString &typeCode) { mCategory = typeCode; }
    const QList<Indicator> &indicators() const { return mIndicators; }
    ContractRecordModel *records() { return &mRecords; }
    const ContractRecordModel *records() const { return &mRecords; }

    // Rebuilds the columns from the category's indicators and reads its records. Messages tell the user about
    // failures; false when the records were not opened. Read in the background (the window's list), it returns
    // once the first screen of records is in; a failure of the rest is told when it happens.
    bool loadRecords();
    void setReadInBackground(bool on) { mRecords.setReadInBackground(on); }
    // True while loadRecords builds the columns: width changes then are the program's own and are not stored.
    bool isBuilding() const { return mBuilding; }
    // The statement loadRecords runs, with the sort columns of the indicators that have IsSortField.
    QString recordSql() const;
    QStringList sortColumns() const { return mSortColumns; }

    // The preset values of indicator i (DefaultSelect split as the entry dialog splits it).
    QStringList filterValues(int indicator) const;
    // Applies the filter of indicator i with the text; an empty text switches the filter off. Nothing happens
    // without a chosen indicator (i < 0).
    void applyFilter(int indicator, const QString &text);

    // The contract document of a record: <application folder>/DB/ContractFile/<ID>.Doc.
    QString documentPath(qint64 id) const;

    // The buttons; each tells the user what happened. `row` is a row of records().
    bool deleteRecord(int row);
    bool copyRecord(int row);
    bool deleteDocument(int row);

    // Stores the width of every listed value column (value column name, width) of the current category.
    void storeWidths(const QList<QPair<QString, int>> &widths);

private:
    // The category's indicators with a value column, at most 80; nullopt after telling the user they cannot be read.
    std::optional<QList<Indicator>> readIndicators();
    // The list's columns and its sort from the indicators.
    QList<ContractRecordModel::Column> buildColumns();
    // Every existing document file of the record (one per format it may have been made in).
    QStringList existingDocuments(qint64 id) const;
    // Copies the record under the category's write lock; sourceGone tells that it was deleted meanwhile.
    bool copyUnderLock(qint64 sourceId, bool &sourceGone);
    // One history row per removed document file (paths in the application folder).
    void recordDocumentsDeleted(qint64 id, const QStringList &paths);

    ContractStore mStore;
    QString mCategory;
    QList<Indicator> mIndicators;
    QStringList mSortColumns;
    ContractRecordModel mRecords;
    bool mBuilding = false;
};

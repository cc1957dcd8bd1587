#pragma once

#include "contracts/ContractEntryGrid.h"
#include "contracts/ContractFormulas.h"
#include "contracts/ContractNumbering.h"
#include "store/ChangeHistory.h"
#include "store/ContractStore.h"

#include <QHash>

#include <QDateTime>
#include <QObject>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

// What the entry dialog decides, without its widgets: loading one record into the grid, numbering a new record,
// which editor a row gets and what it offers, committing an editor's value (which runs the formulas), the
// required check and the save. The dialog forwards its events here and shows the grid.
class ContractEntry : public QObject {
    Q_OBJECT

public:
    enum class Editor { None, Number, Text, Combo, Date };

    ContractEntry(Database &database, int contractId, const QString &typeCode, QObject *parent = nullptr);

    // The record shown: -1 for a new one until it is saved.
    int contractId() const { return mContractId; }
    const QString &typeCode() const { return mTypeCode; }
    // True until a save succeeds.
    bool cancelled() const { return mCancelled; }

    ContractEntryGrid &grid() { return mGrid; }
    const ContractEntryGrid &grid() const { return mGrid; }
    ContractFormulas &formulas() { return mFormulas; }

    // Loads the category's indicators and the record's values, and numbers a new record. False when the
    // category has no indicators (nothing shown) or a query failed (the error was shown).
    bool load();
    // Whether a record row was found (or written) for contractId().
    bool hasRecord() const { return mHasRecord; }

    // Editors.
    Editor editorFor(int row) const;
    // The Qt input mask of a number row: the indicator's mask translated, or the default mask. Empty for other
    // rows, and for a stored value that the mask cannot show without losing characters.
    QString inputMaskFor(int row) const;
    // The display format of the date picker of a date row, in Qt's format language.
    QString pickerFormatFor(int row) const;
    // The stored date of a date row; nullopt when the cell is empty or cannot be read as a date.
    std::optional<QDateTime> storedDate(int row) const;
    // A date row whose stored text the date picker cannot show: it is kept as it stands until the user picks a date.
    bool dateUnreadable(int row) const;
    // What the user is told when he begins to edit such a row.
    QString unreadableDateMessage(int row) const;
    // Whether leaving a row's editor writes the editor's value: only a value the user changed overwrites what
    // the row holds; an empty row takes what its editor offers (zero, today's date), as typing it would.
    bool commitsOnLeaving(int row, bool changedByUser) const { return changedByUser || mGrid.value(row).isEmpty(); }
    // The pick list of a text row: its DefaultSelect pieces.
    QStringList defaultItems(int row) const {
        return splitDefaultSelect(mGrid.cell(row, ContractEntryGrid::ColDefaultSelect));
    }
    // Whether a text row offers the values already stored for it (HisSelect, and no DefaultSelect).
    bool offersHistory(int row) const;
    // Replaces items by the distinct non-empty values stored for the row's indicator in the category; the list
    // stays as it was when they cannot be read.
    void fillHistory(int row, QStringList &items) const;

    // Committing: a number is read from the masked text, written with the mask's decimals and runs the
    // formulas; false (and a message, nothing written) when the text is not a number. A date is written with the
    // row's format and runs the formulas. Text is written as it stands.
    bool commitNumber(int row, const QString &typed);
    void commitDate(int row, const QDateTime &value);
    void commitText(int row, const QString &text);
    // Enter in an editor moves to the next row; -1 on the last row (nothing moves, nothing is committed).
    int rowAfterEnter(int row) const { return row + 1 < mGrid.rows() ? row + 1 : -1; }

    // The first row whose required value is empty, after telling the user; -1 when every required value is there.
    int firstMissingRequired();
    // Writes every value into the record (a new one when there is none). False after showing the failure.
    // Other programs may have written since the record was opened. A number offered to a new record that has
    // been stored meanwhile is replaced by the next free one (the user is told). A record changed meanwhile is not
    // overwritten: the user is asked whether to load the other values (nothing is written either way; after "No"
    // a second save writes his own). A record deleted meanwhile is saved as a new one, and the values of
    // indicators deleted meanwhile are left out; the user is told of both. A category deleted meanwhile gets
    // nothing.
    bool save();
    // The save button: check, then save. On success cancelled() becomes false. Returns the row to show when the
    // check failed, -1 otherwise; `saved` tells whether the record was written.
    int checkAndSave(bool *saved);

    // "甲;;乙" gives 甲, an empty item and 乙; "甲;乙;" gives 甲 and 乙.
    static QStringList splitDefaultSelect(const QString &list);

private:
    enum class SaveOutcome { Saved, Failed, CategoryGone, ChangedMeanwhile, NumberTaken };
    // What one save found and wrote, from the write transaction to the messages after it.
    struct SaveState {
        SaveOutcome outcome = SaveOutcome::Failed;
        QString error;
        // The values to write by column, and the indicators they belong to.
        QStringList columns;
        QVariantList values;
        QList<ChangeHistory::Indicator> written;
        // Rows whose indicator is gone or has another column now: their values are left out.
        QStringList goneIndicators;
        // The record as stored now, when it was changed meanwhile.
        QHash<QString, QString> current;
        bool deletedMeanwhile = false;
        QString takenNumber;
        QHash<int, QString> newNumbers;
        QStringList renumbered;
        qint64 newId = -1;
        ChangeHistory::Values valuesWritten(ChangeHistory::Values base) const;
    };

    // The record's stored values when it was loaded or last saved, by column.
    static QHash<QString, QString> valuesOf(const QSqlRecord &record);
    bool readIndicators(QList<Indicator> &indicators);
    // False after telling the user when a row names a column that is no value column.
    bool valueColumnsValid() const;
    // The whole save under the category's write lock; false leaves the reason in the state.
    bool writeUnderLock(SaveState &state);
    // The values of the grid's rows whose indicator still has the same column.
    void collectValues(const QSet<QPair<QString, QString>> &indicators, SaveState &state) const;
    bool updateRecord(const QSqlRecord &stored, SaveState &state);
    // Offered numbers stored by another program meanwhile are replaced by the next free ones.
    bool renumberTakenOffers(SaveState &state);
    bool insertRecord(SaveState &state);
    void reportFailure(const SaveState &state);
    // Takes what was written into the grid and the values compared with at the next save, and tells the user
    // what was saved differently from what he saw.
    void takeSaved(const SaveState &state);
    void askToReload(const QHash<QString, QString> &current);

    ContractStore mStore;
    int mContractId = -1;
    QString mTypeCode;
    bool mCancelled = true;
    ContractEntryGrid mGrid;
    ContractFormulas mFormulas;
    bool mHasRecord = false;
    QList<ContractNumbering::Offer> mOffers;
    QHash<QString, QString> mLoaded;
};

#pragma once

#include "contracts/ContractEntry.h"

#include <QDialog>

class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QTableView;

// The contract entry dialog "合同关键数据编辑": one row per indicator, and an editor chosen by the row's type
// laid over the value cell of the current row. A thin view over ContractEntry.
class ContractEntryDialog : public QDialog {
    Q_OBJECT

public:
    ContractEntryDialog(int contractId, const QString &typeCode, QWidget *parent = nullptr);

    ContractEntry &entry() { return mEntry; }
    bool ReadyData();

    // Places and fills the editor of the current row.
    void GridClick();
    void cmdSaveClick();
    void cmdCancelClick();
    int currentRow() const;
    void setCurrentRow(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void placeEditors();
    // Writes the visible editor's value into the row it was opened for.
    void commitEditor();
    void enterPressed();
    QWidget *visibleEditor() const;
    // The user begins to edit a date row whose stored text the picker cannot show: tell him, then let him pick.
    void unreadableDateTouched();

    ContractEntry mEntry;
    QTableView *Grid = nullptr;
    QLineEdit *EditCell = nullptr;
    QComboBox *cmbCell = nullptr;
    QDateTimeEdit *dtDate = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCancel = nullptr;
    // The row whose value the visible editor holds; -1 while no editor may commit.
    int mEditorRow = -1;
    ContractEntry::Editor mEditorKind = ContractEntry::Editor::None;
    // What the editor showed when its row was opened: leaving it unchanged writes nothing.
    QString mEditorStartText;
    QDateTime mEditorStartDate;
    // The date picker shows a stored text it cannot read (as its special text) instead of a date.
    bool mDateUnreadable = false;
    bool mLoadingEditor = false;
};

// Opens the entry dialog for the record (-1 for a new one) of the category; true when a record was saved.
// Nothing is shown when the category has no indicators.
bool editContract(int id, const QString &typeCode, QWidget *parent = nullptr);

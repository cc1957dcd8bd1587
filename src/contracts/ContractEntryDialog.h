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
    ContractEntryDialog(Database &database, int contractId, const QString &typeCode, QWidget *parent = nullptr);

    ContractEntry &entry() { return mEntry; }
    bool load();

    // Places and fills the editor of the current row.
    void showEditorOfCurrentRow();
    // The save button: commits the editor, checks, saves and closes the dialog when the record was written.
    void save();
    int currentRow() const;
    void setCurrentRow(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWidgets();
    // Commits an editor that still has the focus and hides every editor.
    void hideEditors();
    // Fills the editor of the row's kind with its value; nullptr when the row gets none.
    QWidget *fillEditor(int row);
    void fillComboEditor(int row, const QString &value);
    void fillDateEditor(int row, const QString &value);
    void showEditor(QWidget *editor, int row);
    void placeEditors();
    // Writes the visible editor's value into the row it was opened for.
    void commitEditor();
    void enterPressed();
    QWidget *visibleEditor() const;
    // The user begins to edit a date row whose stored text the picker cannot show: tell him, then let him pick.
    void unreadableDateTouched();

    ContractEntry mEntry;
    QTableView *mValueGrid = nullptr;
    QLineEdit *mTextEditor = nullptr;
    QComboBox *mComboEditor = nullptr;
    QDateTimeEdit *mDateEditor = nullptr;
    QPushButton *mSaveButton = nullptr;
    QPushButton *mCloseButton = nullptr;
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
bool editContract(Database &database, int id, const QString &typeCode, QWidget *parent = nullptr);

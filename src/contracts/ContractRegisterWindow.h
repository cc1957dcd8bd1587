#pragma once

#include "catalogue/CategoryTreeModel.h"
#include "contracts/ContractRegister.h"
#include "contracts/ContractRegisterServices.h"

#include <QWidget>

class CategoryTreeView;
class MultiRowHeaderView;
class QAction;
class QComboBox;
class QGroupBox;
class QLayout;
class QMdiArea;
class QPushButton;
class QTableView;
class QTimer;

// The contract register "合同生成与维护": the category tree on the left, the records of the chosen category on
// the right with one column per indicator, and the commands on them. A thin view over ContractRegister.
class ContractRegisterWindow : public QWidget {
    Q_OBJECT

public:
    // Every service must be given (see ContractRegisterServices); an empty one stops the program here.
    ContractRegisterWindow(Database &database, ContractRegisterServices services, QWidget *parent = nullptr);

    ContractRegister &contractRegister() { return mRegister; }
    QTableView *grid() const { return mRecordGrid; }
    MultiRowHeaderView *gridHeader() const { return mHeader; }

    // Builds the tree and selects its first node; false when the categories cannot be read.
    bool load();
    // A click on a tree node: a child category lists its records, a root changes nothing.
    void showCurrentCategory();
    bool loadRecords();

    void addContract();
    void editCurrentContract();
    void deleteRecord();
    void copyRecord();
    void openDocument();
    // "批量生成合同文档": the selected records, or every record of the list after asking.
    void generateSelectedDocuments();
    void deleteDocument();
    void importRecords();
    void printList();
    void sendToExcel();
    // "修改记录" in the list's context menu: the history of the current record.
    void showHistory();
    void closeWindow();
    // The preset values of the chosen filter indicator go into the value list.
    void fillFilterValues();
    void applyFilter();

    // Writes the column widths changed since the last write, if any.
    void storePendingWidths();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildWidgets();
    QWidget *buildTree();
    QWidget *buildRecordList();
    QLayout *buildButtons();
    void connectCommands();
    // The row of the current record, -1 when the list is empty.
    int currentRecord() const;
    void columnWidthsChanged();
    // Re-reads the list of the category shown after a dialog reported a change.
    void rebuildAfterChange();

    Database &mDb;
    ContractRegisterServices mServices;
    CategoryTreeModel mTreeModel;
    ContractRegister mRegister;
    CategoryTreeView *mTree = nullptr;
    QGroupBox *mRecordBox = nullptr;
    QTableView *mRecordGrid = nullptr;
    MultiRowHeaderView *mHeader = nullptr;
    QComboBox *mFilterIndicator = nullptr;
    QComboBox *mFilterValue = nullptr;
    QPushButton *mFilterButton = nullptr;
    QPushButton *mAddButton = nullptr;
    QPushButton *mEditButton = nullptr;
    QPushButton *mDeleteButton = nullptr;
    QPushButton *mCopyButton = nullptr;
    QPushButton *mDocumentButton = nullptr;
    QPushButton *mBatchButton = nullptr;
    QPushButton *mDeleteDocumentButton = nullptr;
    QPushButton *mImportButton = nullptr;
    QPushButton *mPrintButton = nullptr;
    QPushButton *mCloseButton = nullptr;
    QAction *mSendToExcelAction = nullptr;
    QAction *mHistoryAction = nullptr;
    QAction *mDueRemindersAction = nullptr;
    // A drag of a column border resizes on every mouse move; the widths are written once it ends, or after a
    // pause while the button is still held.
    QTimer *mWidthTimer = nullptr;
    bool mWidthsPending = false;
    bool mHeaderPressed = false;
};

// Opens the register in the frame's area, maximized, or brings the open one to the front. False when its
// categories cannot be read (nothing is shown).
bool openContractRegisterWindow(QMdiArea *area, Database &database, const ContractRegisterServices &services);

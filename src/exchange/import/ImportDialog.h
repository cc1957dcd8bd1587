#pragma once

#include "exchange/import/ContractImport.h"

#include <QDialog>

class QComboBox;
class QMenu;
class QPushButton;
class QTableView;
class QWidget;

// "合同数据导入": contract records of one category from a worksheet. A thin view over ContractImport.
class ImportDialog : public QDialog {
    Q_OBJECT

public:
    explicit ImportDialog(const QString &categoryCode, QWidget *parent = nullptr);

    ContractImport &import() { return mImport; }

private:
    void FormCreate();
    void chooseFile();
    void cmbTablesClick(int index);
    void showColumnMenu();
    void importRows();
    void rebuildMenu();
    void refreshWorkbook();
    void showCurrentRow();
    void sizeSheetColumns(int widest);

    ContractImport mImport;
    QPushButton *mChooseFileButton;
    QWidget *mTablesPanel;
    QComboBox *mCmbTables;
    QTableView *mSheetGrid;
    QTableView *mMappingGrid;
    QWidget *mButtonPanel;
    QPushButton *mColumnMenuButton;
    QPushButton *mImportButton;
    QPushButton *mCloseButton;
    QMenu *mColumnMenu;
};

// Opens the import dialog for a category and waits until it closes; always true. The caller re-reads its list.
bool importContracts(const QString &categoryCode, QWidget *parent = nullptr);

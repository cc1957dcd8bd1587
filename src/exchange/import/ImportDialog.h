#pragma once

#include "exchange/import/ContractImport.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QMenu;
class QPushButton;
class QTableView;
class QWidget;

// "合同数据导入": contract records of one category from a worksheet. A thin view over ContractImport.
class ImportDialog : public QDialog {
    Q_OBJECT

public:
    ImportDialog(Database &database, const QString &categoryCode, QWidget *parent = nullptr);

    ContractImport &import() { return mImport; }

private:
    void nameWidgets();
    // "(1) 选择合同数据表" and "(2)" the worksheet chooser.
    QHBoxLayout *fileRow();
    // "数据列对应关系设定": the mapping grid with "(3) 对应设定", "(4) 导入" and "退出" beside it.
    QGroupBox *mappingBox();
    void connectSignals();
    void arrangeMappingColumns();
    void chooseFile();
    void showSheet(int index);
    void showColumnMenu();
    void importRows();
    void rebuildMenu();
    void refreshWorkbook();
    void showCurrentRow();
    void sizeSheetColumns(int widest);

    ContractImport mImport;
    QPushButton *mChooseFileButton;
    QWidget *mSheetPanel;
    QComboBox *mSheetChooser;
    QTableView *mSheetGrid;
    QTableView *mMappingGrid;
    QWidget *mButtonPanel;
    QPushButton *mColumnMenuButton;
    QPushButton *mImportButton;
    QPushButton *mCloseButton;
    QMenu *mColumnMenu;
};

// Opens the import dialog for a category and waits until it closes; always true. The caller re-reads its list.
bool importContracts(Database &database, const QString &categoryCode, QWidget *parent = nullptr);

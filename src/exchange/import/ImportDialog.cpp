#include "exchange/import/ImportDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QLabel *stepMark(const QString &text) {
    auto *label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("font-weight: bold; color: #1f5fa8;"));
    return label;
}

} // namespace

ImportDialog::ImportDialog(Database &database, const QString &categoryCode, QWidget *parent)
    : QDialog(parent)
    , mImport(database, categoryCode)
    , mChooseFileButton(new QPushButton(QStringLiteral("选择合同数据表")))
    , mSheetPanel(new QWidget)
    , mSheetChooser(new QComboBox)
    , mSheetGrid(new QTableView)
    , mMappingGrid(new QTableView)
    , mButtonPanel(new QWidget)
    , mColumnMenuButton(new QPushButton(QStringLiteral("对应设定")))
    , mImportButton(new QPushButton(QStringLiteral("导入(&L)")))
    , mCloseButton(new QPushButton(QStringLiteral("退出(&X)")))
    , mColumnMenu(new QMenu(this)) {
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(QStringLiteral("合同数据导入"));
    resize(900, 640);
    nameWidgets();
    for (QPushButton *button : {mChooseFileButton, mColumnMenuButton, mImportButton, mCloseButton})
        button->setAutoDefault(false);

    mSheetGrid->setModel(mImport.worksheetModel());
    mSheetGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mSheetGrid->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow());
    QGroupBox *mappingBox = this->mappingBox();
    // The mapping is where the work is done: it gets as much room as the worksheet, and both grids keep their rows
    // compact so most of a category's indicators are in view at once.
    for (QTableView *grid : {mSheetGrid, mMappingGrid})
        grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    layout->addWidget(mSheetGrid, 1);
    layout->addWidget(mappingBox, 1);

    connectSignals();
    arrangeMappingColumns();
}

void ImportDialog::nameWidgets() {
    mChooseFileButton->setObjectName(QStringLiteral("chooseFileButton"));
    mSheetPanel->setObjectName(QStringLiteral("sheetPanel"));
    mSheetChooser->setObjectName(QStringLiteral("sheetChooser"));
    mSheetGrid->setObjectName(QStringLiteral("sheetGrid"));
    mMappingGrid->setObjectName(QStringLiteral("mappingGrid"));
    mColumnMenuButton->setObjectName(QStringLiteral("columnMenuButton"));
    mImportButton->setObjectName(QStringLiteral("importButton"));
    mCloseButton->setObjectName(QStringLiteral("closeButton"));
    mColumnMenu->setObjectName(QStringLiteral("columnMenu"));
}

QHBoxLayout *ImportDialog::fileRow() {
    auto *row = new QHBoxLayout;
    row->addWidget(stepMark(QStringLiteral("(1)")));
    row->addWidget(mChooseFileButton);
    row->addSpacing(24);
    auto *sheetLayout = new QHBoxLayout(mSheetPanel);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    sheetLayout->addWidget(stepMark(QStringLiteral("(2)")));
    sheetLayout->addWidget(new QLabel(QStringLiteral("Excel文件所包含表名称")));
    sheetLayout->addWidget(mSheetChooser, 1);
    row->addWidget(mSheetPanel, 1);
    mSheetPanel->setEnabled(false);
    return row;
}

QGroupBox *ImportDialog::mappingBox() {
    auto *box = new QGroupBox(QStringLiteral("数据列对应关系设定"));
    box->setObjectName(QStringLiteral("mappingBox"));
    mMappingGrid->setModel(mImport.mappingModel());
    mMappingGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mMappingGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    mMappingGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    mMappingGrid->horizontalHeader()->setStretchLastSection(true);
    auto *boxLayout = new QHBoxLayout(box);
    boxLayout->addWidget(mMappingGrid, 1);

    auto *buttons = new QVBoxLayout(mButtonPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    for (auto [mark, button] :
         {std::pair{QStringLiteral("(3)"), mColumnMenuButton}, std::pair{QStringLiteral("(4)"), mImportButton}}) {
        auto *row = new QHBoxLayout;
        row->addWidget(stepMark(mark));
        row->addWidget(button, 1);
        buttons->addLayout(row);
    }
    buttons->addStretch();
    buttons->addWidget(mCloseButton);
    boxLayout->addWidget(mButtonPanel);
    return box;
}

void ImportDialog::connectSignals() {
    connect(mChooseFileButton, &QPushButton::clicked, this, &ImportDialog::chooseFile);
    connect(mSheetChooser, &QComboBox::activated, this, &ImportDialog::showSheet);
    connect(mColumnMenuButton, &QPushButton::clicked, this, &ImportDialog::showColumnMenu);
    connect(mImportButton, &QPushButton::clicked, this, &ImportDialog::importRows);
    connect(mCloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&mImport, &ContractImport::workbookChanged, this, &ImportDialog::refreshWorkbook);
    connect(&mImport, &ContractImport::menuChanged, this, &ImportDialog::rebuildMenu);
    connect(mMappingGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    mImport.setCurrentRow(current.row());
            });
    connect(mImport.mappingModel(), &QAbstractItemModel::modelReset, this, &ImportDialog::showCurrentRow);
}

void ImportDialog::arrangeMappingColumns() {
    mMappingGrid->setColumnHidden(ImportMappingModel::UniqueKey, true);
    mMappingGrid->setColumnHidden(ImportMappingModel::Required, true);
    mMappingGrid->setColumnWidth(ImportMappingModel::PropertyName, 160);
}

void ImportDialog::chooseFile() {
    if (mImport.chooseFile())
        sizeSheetColumns(80);
}

void ImportDialog::showSheet(int index) {
    if (index < 0)
        return;
    mImport.chooseSheet(mSheetChooser->itemText(index));
    sizeSheetColumns(100);
}

void ImportDialog::showColumnMenu() {
    if (!mImport.prepareColumnMenu())
        return;
    mColumnMenu->popup(mButtonPanel->mapToGlobal(QPoint(0, 0)));
}

void ImportDialog::importRows() {
    mImport.importRows();
}

void ImportDialog::rebuildMenu() {
    mColumnMenu->clear();
    for (const QString &column : mImport.menuItems()) {
        QAction *action = mColumnMenu->addAction(column);
        connect(action, &QAction::triggered, this, [this, column] { mImport.mapCurrentRowTo(column); });
    }
}

void ImportDialog::refreshWorkbook() {
    const QSignalBlocker blocker(mSheetChooser);
    mSheetChooser->clear();
    mSheetChooser->addItems(mImport.sheetNames());
    const qsizetype current = mImport.sheetNames().indexOf(mImport.currentSheetName());
    mSheetChooser->setCurrentIndex(current >= 0 ? int(current) : (mSheetChooser->count() > 0 ? 0 : -1));
    mSheetPanel->setEnabled(mImport.sheetChooserEnabled());
}

void ImportDialog::showCurrentRow() {
    const int row = mImport.currentRow();
    if (row >= 0 && row < mImport.mappingModel()->rowCount())
        mMappingGrid->selectionModel()->setCurrentIndex(
            mImport.mappingModel()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ImportDialog::sizeSheetColumns(int widest) {
    for (int column = 0; column < mImport.worksheetModel()->columnCount(); ++column) {
        if (widest == 80 || mSheetGrid->columnWidth(column) > widest)
            mSheetGrid->setColumnWidth(column, widest);
    }
}

bool importContracts(Database &database, const QString &categoryCode, QWidget *parent) {
    ImportDialog form(database, categoryCode, parent);
    form.exec();
    return true;
}

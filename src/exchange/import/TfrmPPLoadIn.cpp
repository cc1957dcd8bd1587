#include "exchange/import/TfrmPPLoadIn.h"

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

TfrmPPLoadIn::TfrmPPLoadIn(const QString &categoryCode, QWidget *parent)
    : QDialog(parent)
    , mImport(categoryCode)
    , mButton6(new QPushButton(QStringLiteral("选择合同数据表")))
    , mTablesPanel(new QWidget)
    , mCmbTables(new QComboBox)
    , mDBGridEh1(new QTableView)
    , mGrid1(new QTableView)
    , mButtonPanel(new QWidget)
    , mButton5(new QPushButton(QStringLiteral("对应设定")))
    , mButton1(new QPushButton(QStringLiteral("导入(&L)")))
    , mButton3(new QPushButton(QStringLiteral("退出(&X)")))
    , mPopupMenu2(new QMenu(this)) {
    setObjectName(QStringLiteral("frmPPLoadIn"));
    setWindowTitle(QStringLiteral("合同数据导入"));
    resize(900, 640);
    mButton6->setObjectName(QStringLiteral("Button6"));
    mTablesPanel->setObjectName(QStringLiteral("pnlTables"));
    mCmbTables->setObjectName(QStringLiteral("cmbTables"));
    mDBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    mGrid1->setObjectName(QStringLiteral("Grid1"));
    mButton5->setObjectName(QStringLiteral("Button5"));
    mButton1->setObjectName(QStringLiteral("Button1"));
    mButton3->setObjectName(QStringLiteral("Button3"));
    mPopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    for (QPushButton *button : {mButton6, mButton5, mButton1, mButton3})
        button->setAutoDefault(false);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(stepMark(QStringLiteral("(1)")));
    fileRow->addWidget(mButton6);
    fileRow->addSpacing(24);
    auto *tablesLayout = new QHBoxLayout(mTablesPanel);
    tablesLayout->setContentsMargins(0, 0, 0, 0);
    tablesLayout->addWidget(stepMark(QStringLiteral("(2)")));
    tablesLayout->addWidget(new QLabel(QStringLiteral("Excel文件所包含表名称")));
    tablesLayout->addWidget(mCmbTables, 1);
    fileRow->addWidget(mTablesPanel, 1);
    mTablesPanel->setEnabled(false);

    mDBGridEh1->setModel(mImport.worksheetModel());
    mDBGridEh1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mDBGridEh1->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto *groupBox = new QGroupBox(QStringLiteral("数据列对应关系设定"));
    groupBox->setObjectName(QStringLiteral("GroupBox1"));
    mGrid1->setModel(mImport.mappingModel());
    mGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    mGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    mGrid1->horizontalHeader()->setStretchLastSection(true);
    auto *groupLayout = new QHBoxLayout(groupBox);
    groupLayout->addWidget(mGrid1, 1);

    auto *buttons = new QVBoxLayout(mButtonPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    for (auto [mark, button] :
         {std::pair{QStringLiteral("(3)"), mButton5}, std::pair{QStringLiteral("(4)"), mButton1}}) {
        auto *row = new QHBoxLayout;
        row->addWidget(stepMark(mark));
        row->addWidget(button, 1);
        buttons->addLayout(row);
    }
    buttons->addStretch();
    buttons->addWidget(mButton3);
    groupLayout->addWidget(mButtonPanel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    // The mapping is where the work is done: it gets as much room as the worksheet, and both grids keep their rows
    // compact so most of a category's indicators are in view at once.
    for (QTableView *grid : {mDBGridEh1, mGrid1})
        grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    layout->addWidget(mDBGridEh1, 1);
    layout->addWidget(groupBox, 1);

    connect(mButton6, &QPushButton::clicked, this, &TfrmPPLoadIn::Button6Click);
    connect(mCmbTables, &QComboBox::activated, this, &TfrmPPLoadIn::cmbTablesClick);
    connect(mButton5, &QPushButton::clicked, this, &TfrmPPLoadIn::Button5Click);
    connect(mButton1, &QPushButton::clicked, this, &TfrmPPLoadIn::Button1Click);
    connect(mButton3, &QPushButton::clicked, this, &QDialog::reject);
    connect(&mImport, &ContractImport::workbookChanged, this, &TfrmPPLoadIn::refreshWorkbook);
    connect(&mImport, &ContractImport::menuChanged, this, &TfrmPPLoadIn::rebuildMenu);
    connect(mGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    mImport.setCurrentRow(current.row());
            });
    connect(mImport.mappingModel(), &QAbstractItemModel::modelReset, this, &TfrmPPLoadIn::showCurrentRow);
    FormCreate();
}

void TfrmPPLoadIn::FormCreate() {
    mGrid1->setColumnHidden(ImportMappingModel::UniqueKey, true);
    mGrid1->setColumnHidden(ImportMappingModel::Required, true);
    mGrid1->setColumnWidth(ImportMappingModel::PropertyName, 160);
}

void TfrmPPLoadIn::Button6Click() {
    if (mImport.Button6Click())
        sizeSheetColumns(80);
}

void TfrmPPLoadIn::cmbTablesClick(int index) {
    if (index < 0)
        return;
    mImport.cmbTablesClick(mCmbTables->itemText(index));
    sizeSheetColumns(100);
}

void TfrmPPLoadIn::Button5Click() {
    if (!mImport.Button5Click())
        return;
    mPopupMenu2->popup(mButtonPanel->mapToGlobal(QPoint(0, 0)));
}

void TfrmPPLoadIn::Button1Click() {
    mImport.Button1Click();
}

void TfrmPPLoadIn::rebuildMenu() {
    mPopupMenu2->clear();
    for (const QString &column : mImport.menuItems()) {
        QAction *action = mPopupMenu2->addAction(column);
        connect(action, &QAction::triggered, this, [this, column] { mImport.MappingMenuClick(column); });
    }
}

void TfrmPPLoadIn::refreshWorkbook() {
    const QSignalBlocker blocker(mCmbTables);
    mCmbTables->clear();
    mCmbTables->addItems(mImport.sheetNames());
    const qsizetype current = mImport.sheetNames().indexOf(mImport.currentSheetName());
    mCmbTables->setCurrentIndex(current >= 0 ? int(current) : (mCmbTables->count() > 0 ? 0 : -1));
    mTablesPanel->setEnabled(mImport.sheetChooserEnabled());
}

void TfrmPPLoadIn::showCurrentRow() {
    const int row = mImport.currentRow();
    if (row >= 0 && row < mImport.mappingModel()->rowCount())
        mGrid1->selectionModel()->setCurrentIndex(mImport.mappingModel()->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TfrmPPLoadIn::sizeSheetColumns(int widest) {
    for (int column = 0; column < mImport.worksheetModel()->columnCount(); ++column) {
        if (widest == 80 || mDBGridEh1->columnWidth(column) > widest)
            mDBGridEh1->setColumnWidth(column, widest);
    }
}

bool PPLoadIn(const QString &categoryCode, QWidget *parent) {
    TfrmPPLoadIn form(categoryCode, parent);
    form.exec();
    return true;
}

#include "catalogue/TfrmContractModel.h"

#include "catalogue/MdiChild.h"

#include "catalogue/CategoryTreeView.h"
#include "catalogue/TemplateTab.h"
#include "catalogue/TfrmExdParaPropertyEdit.h"
#include "catalogue/TfrmModelSelect.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint = QString()) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

} // namespace

TfrmContractModel::TfrmContractModel(const TemplateTab::Factory &templateTab, QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("TfrmContractModel"));
    setWindowTitle(QStringLiteral("合同文挡模板管理"));

    // Left: the category tree and its commands.
    auto *treeBox = new QGroupBox(QStringLiteral("合同文挡类别名称管理"), this);
    treeBox->setObjectName(QStringLiteral("GroupBox1"));
    Tree = new CategoryTreeView(treeBox);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setCategoryModel(mCategories.model(), mCategories.selectionModel());
    QPushButton *cmdAddRoot = button(treeBox, "cmdAddRoot", QStringLiteral("添加分类"), QStringLiteral("添加根分组"));
    QPushButton *cndAddSon = button(treeBox, "cndAddSon", QStringLiteral("添加合同"), QStringLiteral("添加下级分组"));
    QPushButton *cmdEdit = button(treeBox, "cmdEdit", QStringLiteral("修改"), QStringLiteral("修改分组名称"));
    QPushButton *cmdDelete = button(treeBox, "cmdDelete", QStringLiteral("删除"), QStringLiteral("删除选定分组"));
    auto *treeButtons = new QHBoxLayout;
    for (QPushButton *b : {cmdAddRoot, cndAddSon, cmdEdit, cmdDelete}) {
        b->setFlat(true);
        treeButtons->addWidget(b);
    }
    auto *treeLayout = new QVBoxLayout(treeBox);
    treeLayout->addWidget(Tree);
    treeLayout->addLayout(treeButtons);
    treeBox->setFixedWidth(300);

    // Right: the prompt while no child category is shown, else the two pages.
    lblPrompt = new QLabel(QStringLiteral("请选择一个合同分类节点"), this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setAlignment(Qt::AlignCenter);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    mTemplateTab = templateTab ? templateTab(PageControl1) : nullptr;
    if (!mTemplateTab)
        mTemplateTab = new TemplateTab(PageControl1);
    mTemplateTab->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(mTemplateTab, QStringLiteral("合同文档模板维护"));
    TabSheet2 = makeIndicatorPage();
    PageControl1->addTab(TabSheet2, QStringLiteral("合同文挡编辑模板维护"));

    cmdSave = button(this, "cmdSave", QStringLiteral("编辑模板(&E)"));
    Button2 = button(this, "Button2", QStringLiteral("退出"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdSave);
    bottom->addWidget(Button2);

    auto *right = new QVBoxLayout;
    right->addWidget(lblPrompt, 1);
    right->addWidget(PageControl1, 1);
    right->addLayout(bottom);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(treeBox);
    layout->addLayout(right, 1);

    connect(Tree, &QTreeView::clicked, this, &TfrmContractModel::TreeClick);
    connect(cmdAddRoot, &QPushButton::clicked, &mCategories, &CategoryCommands::cmdAddRootClick);
    connect(cndAddSon, &QPushButton::clicked, &mCategories, &CategoryCommands::cndAddSonClick);
    connect(cmdEdit, &QPushButton::clicked, &mCategories, &CategoryCommands::cmdEditClick);
    connect(cmdDelete, &QPushButton::clicked, &mCategories, &CategoryCommands::cmdDeleteClick);
    connect(&mCategories, &CategoryCommands::pagesHidden, this, &TfrmContractModel::hidePages);
    connect(&mCategories, &CategoryCommands::childCategoryClicked, this, &TfrmContractModel::showCategory);
    connect(&mCategories, &CategoryCommands::rootExpanded, Tree, &QTreeView::expand);
    connect(cmdSave, &QPushButton::clicked, this, &TfrmContractModel::cmdSaveClick);
    connect(mTemplateTab, &TemplateTab::editRequested, this, &TfrmContractModel::cmdSaveClick);
    connect(Button2, &QPushButton::clicked, this, &TfrmContractModel::Button2Click);

    mIndicators.setEditHook([this](const QString &table, const QString &category, int id) {
        return EditIndicator(table, category, id, this);
    });
    mIndicators.setSelectHook([this](QString *code, QString *name) { return SelectCategory(code, name, this); });

    hidePages();
}

QWidget *TfrmContractModel::makeIndicatorPage() {
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("TabSheet2"));
    DBGridEh2 = new QTableView(page);
    DBGridEh2->setObjectName(QStringLiteral("DBGridEh2"));
    DBGridEh2->setModel(mIndicators.model());
    DBGridEh2->setSelectionModel(mIndicators.selectionModel());
    DBGridEh2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGridEh2->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridEh2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridEh2->verticalHeader()->hide();
    DBGridEh2->verticalHeader()->setDefaultSectionSize(22);
    const int widths[IndicatorListModel::ColumnCount] = {44, 120, 64, 120, 50, 110, 110, 180, 90, 64};
    for (int c = 0; c < IndicatorListModel::ColumnCount; ++c)
        DBGridEh2->setColumnWidth(c, widths[c]);
    DBGridEh2->horizontalHeader()->setStretchLastSection(true);

    QPushButton *cmdAppendProperty = button(page, "cmdAppendProperty", QStringLiteral("添加指标"));
    QPushButton *cmdEditProperty = button(page, "cmdEditProperty", QStringLiteral("修改指标"));
    QPushButton *cmdDelProperty = button(page, "cmdDelProperty", QStringLiteral("删除指标"));
    QPushButton *SpeedButton2 = button(page, "SpeedButton2", QStringLiteral("向前移动"));
    QPushButton *SpeedButton3 = button(page, "SpeedButton3", QStringLiteral("向后移动"));
    QPushButton *SpeedButton1 = button(page, "SpeedButton1", QStringLiteral("导入指标"));
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b :
         {cmdAppendProperty, cmdEditProperty, cmdDelProperty, SpeedButton2, SpeedButton3, SpeedButton1})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(DBGridEh2, 1);
    layout->addLayout(buttons);

    connect(cmdAppendProperty, &QPushButton::clicked, &mIndicators, &IndicatorCommands::cmdAppendPropertyClick);
    connect(cmdEditProperty, &QPushButton::clicked, &mIndicators, &IndicatorCommands::cmdEditPropertyClick);
    connect(DBGridEh2, &QTableView::doubleClicked, &mIndicators, &IndicatorCommands::cmdEditPropertyClick);
    connect(cmdDelProperty, &QPushButton::clicked, &mIndicators, &IndicatorCommands::cmdDelPropertyClick);
    connect(SpeedButton2, &QPushButton::clicked, &mIndicators, &IndicatorCommands::SpeedButton2Click);
    connect(SpeedButton3, &QPushButton::clicked, &mIndicators, &IndicatorCommands::SpeedButton3Click);
    connect(SpeedButton1, &QPushButton::clicked, &mIndicators, &IndicatorCommands::SpeedButton1Click);
    return page;
}

bool TfrmContractModel::ReadyData() {
    return mCategories.ReadyData();
}

void TfrmContractModel::TreeClick() {
    mCategories.TreeClick();
}

void TfrmContractModel::hidePages() {
    PageControl1->hide();
    cmdSave->hide();
    lblPrompt->show();
}

void TfrmContractModel::showCategory(const QString &typeCode, const QString &caption) {
    ReadyModel(typeCode);
    lblPrompt->hide();
    PageControl1->show();
    cmdSave->show();
    mTemplateTab->setGroupCaption(QStringLiteral("合同文挡 [") + caption + QStringLiteral("] 的模板内容："));
}

void TfrmContractModel::ReadyModel(const QString &categoryCode) {
    PageControl1->setCurrentWidget(mTemplateTab);
    mTemplateTab->showTemplate(categoryCode);
    mIndicators.load(categoryCode);
}

void TfrmContractModel::cmdSaveClick() {
    const QModelIndex node = mCategories.selected();
    if (!mCategories.model()->isChild(node))
        return;
    mTemplateTab->editTemplate(mCategories.model()->goodsClass(node).TypeCode);
    TreeClick();
}

void TfrmContractModel::Button2Click() {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

bool OpenContractModel(QMdiArea *area, const TemplateTab::Factory &templateTab) {
    return openMaximizedChild<TfrmContractModel>(area, templateTab);
}

#include "catalogue/TemplateManagerWindow.h"

#include "catalogue/MdiChild.h"

#include "catalogue/CategorySelectDialog.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/IndicatorEditorDialog.h"
#include "catalogue/TemplateTab.h"

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

TemplateManagerWindow::TemplateManagerWindow(Database &database, const TemplateTab::Factory &templateTab,
                                             QWidget *parent)
    : QWidget(parent)
    , mDatabase(database)
    , mCategories(database)
    , mIndicators(database) {
    setObjectName(QStringLiteral("TemplateManagerWindow"));
    setWindowTitle(QStringLiteral("合同文挡模板管理"));

    // Left: the category tree and its commands.
    auto *treeBox = new QGroupBox(QStringLiteral("合同文挡类别名称管理"), this);
    treeBox->setObjectName(QStringLiteral("treeBox"));
    Tree = new CategoryTreeView(treeBox);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setCategoryModel(mCategories.model(), mCategories.selectionModel());
    QPushButton *cmdAddRoot = button(treeBox, "cmdAddRoot", QStringLiteral("添加分类"), QStringLiteral("添加根分组"));
    QPushButton *addChildButton =
        button(treeBox, "addChildButton", QStringLiteral("添加合同"), QStringLiteral("添加下级分组"));
    QPushButton *cmdEdit = button(treeBox, "cmdEdit", QStringLiteral("修改"), QStringLiteral("修改分组名称"));
    QPushButton *cmdDelete = button(treeBox, "cmdDelete", QStringLiteral("删除"), QStringLiteral("删除选定分组"));
    auto *treeButtons = new QHBoxLayout;
    for (QPushButton *b : {cmdAddRoot, addChildButton, cmdEdit, cmdDelete}) {
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
    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    mTemplateTab = templateTab ? templateTab(pages) : nullptr;
    if (!mTemplateTab)
        mTemplateTab = new TemplateTab(pages);
    mTemplateTab->setObjectName(QStringLiteral("templatePage"));
    pages->addTab(mTemplateTab, QStringLiteral("合同文档模板维护"));
    indicatorPage = makeIndicatorPage();
    pages->addTab(indicatorPage, QStringLiteral("合同文挡编辑模板维护"));

    cmdSave = button(this, "cmdSave", QStringLiteral("编辑模板(&E)"));
    closeButton = button(this, "closeButton", QStringLiteral("退出"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdSave);
    bottom->addWidget(closeButton);

    auto *right = new QVBoxLayout;
    right->addWidget(lblPrompt, 1);
    right->addWidget(pages, 1);
    right->addLayout(bottom);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(treeBox);
    layout->addLayout(right, 1);

    connect(Tree, &QTreeView::clicked, this, &TemplateManagerWindow::showSelected);
    connect(cmdAddRoot, &QPushButton::clicked, &mCategories, &CategoryCommands::addRootCategory);
    connect(addChildButton, &QPushButton::clicked, &mCategories, &CategoryCommands::addChildCategory);
    connect(cmdEdit, &QPushButton::clicked, &mCategories, &CategoryCommands::renameCategory);
    connect(cmdDelete, &QPushButton::clicked, &mCategories, &CategoryCommands::deleteCategory);
    connect(&mCategories, &CategoryCommands::pagesHidden, this, &TemplateManagerWindow::hidePages);
    connect(&mCategories, &CategoryCommands::childCategoryClicked, this, &TemplateManagerWindow::showCategory);
    connect(&mCategories, &CategoryCommands::rootExpanded, Tree, &QTreeView::expand);
    connect(cmdSave, &QPushButton::clicked, this, &TemplateManagerWindow::editTemplate);
    connect(mTemplateTab, &TemplateTab::editRequested, this, &TemplateManagerWindow::editTemplate);
    connect(closeButton, &QPushButton::clicked, this, &TemplateManagerWindow::closeWindow);

    mIndicators.setEditHook([this](const QString &table, const QString &category, int id) {
        return EditIndicator(mDatabase, table, category, id, this);
    });
    mIndicators.setSelectHook(
        [this](QString *code, QString *name) { return SelectCategory(mDatabase, code, name, this); });

    hidePages();
}

QWidget *TemplateManagerWindow::makeIndicatorPage() {
    auto *page = new QWidget(pages);
    page->setObjectName(QStringLiteral("indicatorPage"));
    indicatorGrid = new QTableView(page);
    indicatorGrid->setObjectName(QStringLiteral("indicatorGrid"));
    indicatorGrid->setModel(mIndicators.model());
    indicatorGrid->setSelectionModel(mIndicators.selectionModel());
    indicatorGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    indicatorGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    indicatorGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    indicatorGrid->verticalHeader()->hide();
    indicatorGrid->verticalHeader()->setDefaultSectionSize(22);
    const int widths[IndicatorListModel::ColumnCount] = {44, 120, 64, 120, 50, 110, 110, 180, 90, 64};
    for (int c = 0; c < IndicatorListModel::ColumnCount; ++c)
        indicatorGrid->setColumnWidth(c, widths[c]);
    indicatorGrid->horizontalHeader()->setStretchLastSection(true);

    QPushButton *cmdAppendProperty = button(page, "cmdAppendProperty", QStringLiteral("添加指标"));
    QPushButton *cmdEditProperty = button(page, "cmdEditProperty", QStringLiteral("修改指标"));
    QPushButton *cmdDelProperty = button(page, "cmdDelProperty", QStringLiteral("删除指标"));
    QPushButton *moveForwardButton = button(page, "moveForwardButton", QStringLiteral("向前移动"));
    QPushButton *moveBackwardButton = button(page, "moveBackwardButton", QStringLiteral("向后移动"));
    QPushButton *importIndicatorsButton = button(page, "importIndicatorsButton", QStringLiteral("导入指标"));
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {cmdAppendProperty, cmdEditProperty, cmdDelProperty, moveForwardButton, moveBackwardButton,
                           importIndicatorsButton})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(indicatorGrid, 1);
    layout->addLayout(buttons);

    connect(cmdAppendProperty, &QPushButton::clicked, &mIndicators, &IndicatorCommands::addIndicator);
    connect(cmdEditProperty, &QPushButton::clicked, &mIndicators, &IndicatorCommands::editIndicator);
    connect(indicatorGrid, &QTableView::doubleClicked, &mIndicators, &IndicatorCommands::editIndicator);
    connect(cmdDelProperty, &QPushButton::clicked, &mIndicators, &IndicatorCommands::deleteIndicator);
    connect(moveForwardButton, &QPushButton::clicked, &mIndicators, &IndicatorCommands::moveForward);
    connect(moveBackwardButton, &QPushButton::clicked, &mIndicators, &IndicatorCommands::moveBackward);
    connect(importIndicatorsButton, &QPushButton::clicked, &mIndicators, &IndicatorCommands::importIndicators);
    return page;
}

bool TemplateManagerWindow::loadTree() {
    return mCategories.loadTree();
}

void TemplateManagerWindow::showSelected() {
    mCategories.showSelected();
}

void TemplateManagerWindow::hidePages() {
    pages->hide();
    cmdSave->hide();
    lblPrompt->show();
}

void TemplateManagerWindow::showCategory(const QString &typeCode, const QString &caption) {
    openCategory(typeCode);
    lblPrompt->hide();
    pages->show();
    cmdSave->show();
    mTemplateTab->setGroupCaption(QStringLiteral("合同文挡 [") + caption + QStringLiteral("] 的模板内容："));
}

void TemplateManagerWindow::openCategory(const QString &categoryCode) {
    pages->setCurrentWidget(mTemplateTab);
    mTemplateTab->showTemplate(categoryCode);
    mIndicators.load(categoryCode);
}

void TemplateManagerWindow::editTemplate() {
    const QModelIndex node = mCategories.selected();
    if (!mCategories.model()->isChild(node))
        return;
    mTemplateTab->editTemplate(mCategories.model()->goodsClass(node).TypeCode);
    showSelected();
}

void TemplateManagerWindow::closeWindow() {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

bool openTemplateManagerWindow(QMdiArea *area, Database &database, const TemplateTab::Factory &templateTab) {
    auto *window = new TemplateManagerWindow(database, templateTab);
    return showMaximizedChild(area, window, window->loadTree());
}

#include "contracts/ContractRegisterWindow.h"

#include "catalogue/MdiChild.h"

#include "catalogue/CategoryTreeView.h"
#include "contracts/ChangeHistoryWindow.h"
#include "contracts/ContractEntryDialog.h"
#include "contracts/MultiRowHeaderView.h"
#include "platform/Messages.h"
#include "store/CategoryStore.h"
#include "store/Database.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString Caption = QStringLiteral("合同生成与维护");
constexpr int IdColumnWidth = 35;

QPushButton *makeButton(const QString &name, const QString &text, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

ContractRegisterWindow::ContractRegisterWindow(ContractRegisterServices services, QWidget *parent)
    : QWidget(parent)
    , mServices(std::move(services))
    , mTreeModel(this)
    , mRegister(this) {
    FormCreate();
}

void ContractRegisterWindow::FormCreate() {
    setObjectName(QStringLiteral("ContractRegisterWindow"));
    setWindowTitle(Caption);

    auto *treeBox = new QGroupBox(QStringLiteral("合同文挡类别名称"), this);
    Tree = new CategoryTreeView(treeBox);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setCategoryModel(&mTreeModel);
    (new QVBoxLayout(treeBox))->addWidget(Tree);

    recordBox = new QGroupBox(QStringLiteral("分类XX下的合同列表"), this);
    recordBox->setObjectName(QStringLiteral("recordBox"));
    cmbPropertyName = new QComboBox(recordBox);
    cmbPropertyName->setObjectName(QStringLiteral("cmbPropertyName"));
    cmbPropertyName->setMinimumWidth(140);
    cmbValue = new QComboBox(recordBox);
    cmbValue->setObjectName(QStringLiteral("cmbValue"));
    cmbValue->setEditable(true);
    cmbValue->setInsertPolicy(QComboBox::NoInsert);
    cmbValue->setMinimumWidth(200);
    filterButton = makeButton(QStringLiteral("filterButton"), QStringLiteral("过滤(&F)"), recordBox);
    auto *filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("查询指标"), recordBox));
    filter->addWidget(cmbPropertyName);
    filter->addWidget(new QLabel(QStringLiteral("包含"), recordBox));
    filter->addWidget(cmbValue);
    filter->addWidget(filterButton);
    filter->addStretch();

    recordGrid = new QTableView(recordBox);
    recordGrid->setObjectName(QStringLiteral("recordGrid"));
    mHeader = new MultiRowHeaderView(recordGrid);
    mHeader->setObjectName(QStringLiteral("recordGridHeader"));
    recordGrid->setHorizontalHeader(mHeader);
    // A large category shows its first screen of records while the rest is read.
    mRegister.setReadInBackground(true);
    recordGrid->setModel(mRegister.dsContract());
    recordGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several records (Ctrl and Shift click, Ctrl+A) for "批量生成合同文档"; the other commands take the current one.
    recordGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    recordGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordGrid->verticalHeader()->setDefaultSectionSize(recordGrid->fontMetrics().height() + 6);
    recordGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    mHeader->setSectionResizeMode(QHeaderView::Interactive);
    recordGrid->setColumnWidth(0, IdColumnWidth);
    recordGrid->installEventFilter(this);
    recordGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    sendToExcelAction = new QAction(QStringLiteral("发送到Excel"), recordGrid);
    sendToExcelAction->setObjectName(QStringLiteral("sendToExcelAction"));
    recordGrid->addAction(sendToExcelAction);
    historyAction = new QAction(QStringLiteral("修改记录"), recordGrid);
    historyAction->setObjectName(QStringLiteral("historyAction"));
    recordGrid->addAction(historyAction);
    dueRemindersAction = new QAction(QStringLiteral("到期提醒"), recordGrid);
    dueRemindersAction->setObjectName(QStringLiteral("dueRemindersAction"));
    recordGrid->addAction(dueRemindersAction);
    auto *listLayout = new QVBoxLayout(recordBox);
    listLayout->addLayout(filter);
    listLayout->addWidget(recordGrid);

    cmdAppend = makeButton(QStringLiteral("cmdAppend"), QStringLiteral("添加合同"), this);
    cmdEdit = makeButton(QStringLiteral("cmdEdit"), QStringLiteral("修改合同"), this);
    deleteButton = makeButton(QStringLiteral("deleteButton"), QStringLiteral("删除合同"), this);
    copyButton = makeButton(QStringLiteral("copyButton"), QStringLiteral("复制为新合同"), this);
    documentButton = makeButton(QStringLiteral("documentButton"), QStringLiteral("生成/查看合同文档"), this);
    batchButton = makeButton(QStringLiteral("batchGenerateButton"), QStringLiteral("批量生成合同文档"), this);
    deleteDocumentButton =
        makeButton(QStringLiteral("deleteDocumentButton"), QStringLiteral("删除已生成合同文档"), this);
    importButton = makeButton(QStringLiteral("importButton"), QStringLiteral("Excel导入"), this);
    printButton = makeButton(QStringLiteral("printButton"), QStringLiteral("打印列表"), this);
    closeButton = makeButton(QStringLiteral("closeButton"), QStringLiteral("退出"), this);
    auto *bar = new QHBoxLayout;
    for (QPushButton *b : {cmdAppend, cmdEdit, deleteButton, copyButton, documentButton, batchButton,
                           deleteDocumentButton, importButton, printButton})
        bar->addWidget(b);
    bar->addStretch();
    bar->addWidget(closeButton);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(treeBox);
    split->addWidget(recordBox);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 800});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);
    layout->addLayout(bar);

    connect(Tree, &QTreeView::clicked, this, &ContractRegisterWindow::TreeClick);
    connect(cmdAppend, &QPushButton::clicked, this, &ContractRegisterWindow::cmdAppendClick);
    connect(cmdEdit, &QPushButton::clicked, this, &ContractRegisterWindow::cmdEditClick);
    connect(deleteButton, &QPushButton::clicked, this, &ContractRegisterWindow::deleteRecord);
    connect(copyButton, &QPushButton::clicked, this, &ContractRegisterWindow::copyRecord);
    connect(documentButton, &QPushButton::clicked, this, &ContractRegisterWindow::openDocument);
    connect(batchButton, &QPushButton::clicked, this, &ContractRegisterWindow::generateSelectedDocuments);
    connect(deleteDocumentButton, &QPushButton::clicked, this, &ContractRegisterWindow::deleteDocument);
    connect(importButton, &QPushButton::clicked, this, &ContractRegisterWindow::importRecords);
    connect(printButton, &QPushButton::clicked, this, &ContractRegisterWindow::printList);
    connect(closeButton, &QPushButton::clicked, this, &ContractRegisterWindow::closeWindow);
    connect(sendToExcelAction, &QAction::triggered, this, &ContractRegisterWindow::sendToExcel);
    connect(historyAction, &QAction::triggered, this, &ContractRegisterWindow::showHistory);
    connect(dueRemindersAction, &QAction::triggered, this, [this] {
        auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
        if (mServices.openDueReminders && sub && sub->mdiArea())
            mServices.openDueReminders(sub->mdiArea());
    });
    connect(recordGrid, &QTableView::doubleClicked, this, &ContractRegisterWindow::openDocument);
    connect(cmbPropertyName, &QComboBox::activated, this, &ContractRegisterWindow::cmbPropertyNameChange);
    connect(filterButton, &QPushButton::clicked, this, &ContractRegisterWindow::applyFilter);
    connect(cmbValue, &QComboBox::activated, this, &ContractRegisterWindow::applyFilter);
    connect(cmbValue->lineEdit(), &QLineEdit::returnPressed, this, &ContractRegisterWindow::applyFilter);
    connect(mHeader, &QHeaderView::sectionResized, this, &ContractRegisterWindow::columnWidthsChanged);
    mHeader->viewport()->installEventFilter(this);
    mWidthTimer = new QTimer(this);
    mWidthTimer->setSingleShot(true);
    mWidthTimer->setInterval(500);
    connect(mWidthTimer, &QTimer::timeout, this, &ContractRegisterWindow::storePendingWidths);
}

bool ContractRegisterWindow::ReadyData() {
    if (!mTreeModel.load(CategoryStore(Database::instance()))) {
        Messages::instance().warning(Database::instance().failureText(QStringLiteral("读取数据发生错误！")));
        return false;
    }
    const QModelIndex first = mTreeModel.firstNode();
    if (first.isValid()) {
        Tree->setCurrentIndex(first);
        TreeClick();
    }
    return true;
}

void ContractRegisterWindow::TreeClick() {
    const QModelIndex node = Tree->currentIndex();
    if (!node.isValid() || !mTreeModel.isChild(node))
        return;
    // Widths still waiting belong to the category shown until now.
    storePendingWidths();
    mRegister.setCurrentCategory(mTreeModel.goodsClass(node).TypeCode);
    recordBox->setTitle(QStringLiteral("合同分类 [") + mTreeModel.caption(node) + QStringLiteral("] 的合同内容："));
    ReadyGrid();
}

bool ContractRegisterWindow::ReadyGrid() {
    // Widths still waiting belong to the columns about to be replaced (of the same category: TreeClick has
    // stored them before it changed the category).
    storePendingWidths();
    cmbPropertyName->clear();
    // Widths set while the columns are built are the program's own: nothing is stored.
    recordGrid->setEnabled(false);
    const bool opened = mRegister.ReadyGrid();
    const QList<Indicator> &indicators = mRegister.indicators();
    if (mRegister.dsContract()->columnCount() == indicators.size() + 1) {
        recordGrid->setColumnWidth(0, IdColumnWidth);
        for (int i = 0; i < indicators.size(); ++i)
            recordGrid->setColumnWidth(i + 1, indicators.at(i).ColWidth);
    }
    recordGrid->setEnabled(true);
    for (const Indicator &i : indicators)
        cmbPropertyName->addItem(i.PropertyName);
    cmbPropertyName->setCurrentIndex(-1);
    mHeader->updateGeometry();
    mHeader->viewport()->update();
    return opened;
}

void ContractRegisterWindow::columnWidthsChanged() {
    if (!recordGrid->isEnabled() || mRegister.isBuilding())
        return;
    mWidthsPending = true;
    if (mHeaderPressed)
        mWidthTimer->start();
    else
        storePendingWidths();
}

void ContractRegisterWindow::storePendingWidths() {
    mWidthTimer->stop();
    if (!mWidthsPending)
        return;
    mWidthsPending = false;
    const QList<ContractRecordModel::Column> &columns = mRegister.dsContract()->columns();
    QList<QPair<QString, int>> widths;
    for (int c = 1; c < columns.size(); ++c) {
        if (!recordGrid->isColumnHidden(c))
            widths.append({columns.at(c).field, recordGrid->columnWidth(c)});
    }
    mRegister.storeWidths(widths);
}

int ContractRegisterWindow::currentRecord() const {
    const int count = mRegister.dsContract()->recordCount();
    if (count == 0)
        return -1;
    const QModelIndex at = recordGrid->currentIndex();
    return at.isValid() && at.row() < count ? at.row() : 0;
}

void ContractRegisterWindow::rebuildAfterChange() {
    if (!mRegister.currentCategory().isEmpty())
        ReadyGrid();
}

void ContractRegisterWindow::cmdAppendClick() {
    if (editContract(-1, mRegister.currentCategory(), this))
        rebuildAfterChange();
}

void ContractRegisterWindow::cmdEditClick() {
    const int row = currentRecord();
    if (row < 0) {
        Messages::instance().information(QStringLiteral("没有可用于编辑的合同数据记录！"));
        return;
    }
    if (editContract(int(mRegister.dsContract()->recordId(row)), mRegister.currentCategory(), this))
        rebuildAfterChange();
}

void ContractRegisterWindow::deleteRecord() {
    mRegister.deleteRecord(currentRecord());
}

void ContractRegisterWindow::copyRecord() {
    if (mRegister.copyRecord(currentRecord()) && mRegister.dsContract()->recordCount() > 0)
        recordGrid->setCurrentIndex(mRegister.dsContract()->index(0, 0));
}

void ContractRegisterWindow::openDocument() {
    const int row = currentRecord();
    if (row < 0) {
        Messages::instance().information(QStringLiteral("没有可用于生成或查看的合同数据记录！"));
        return;
    }
    if (!mServices.editDocument)
        return;
    const qint64 id = mRegister.dsContract()->recordId(row);
    mServices.editDocument(mRegister.currentCategory(), ContractRegister::documentPath(id), int(id));
}

void ContractRegisterWindow::generateSelectedDocuments() {
    ContractRecordModel *records = mRegister.dsContract();
    // "All records of the list" means all of them, also while the last are still being read.
    records->finishLoading();
    if (records->recordCount() == 0) {
        Messages::instance().information(QStringLiteral("没有可用于生成或查看的合同数据记录！"));
        return;
    }
    if (!mServices.generateDocuments)
        return;
    QList<int> rows;
    for (const QModelIndex &index : recordGrid->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty()) {
        if (!Messages::instance().question(
                QStringLiteral("没有选定合同记录，是否为列表中的全部 %1 份合同生成合同文档？")
                    .arg(records->recordCount())))
            return;
        for (int row = 0; row < records->recordCount(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    QList<int> ids;
    for (int row : std::as_const(rows))
        ids << int(records->recordId(row));
    mServices.generateDocuments(ids, this);
}

void ContractRegisterWindow::deleteDocument() {
    mRegister.deleteDocument(currentRecord());
}

void ContractRegisterWindow::importRecords() {
    const QModelIndex node = Tree->currentIndex();
    if (!node.isValid() || !mTreeModel.isChild(node)) {
        Messages::instance().information(QStringLiteral("请首先选择一个合同数据分类！"));
        return;
    }
    if (!mServices.loadIn)
        return;
    mServices.loadIn(mRegister.currentCategory());
    rebuildAfterChange();
}

void ContractRegisterWindow::printList() {
    mRegister.dsContract()->finishLoading();
    if (mServices.previewGrid)
        mServices.previewGrid(Caption, recordGrid);
}

void ContractRegisterWindow::showHistory() {
    const int row = currentRecord();
    if (row < 0) {
        Messages::instance().information(QStringLiteral("没有可查看修改记录的合同数据！"));
        return;
    }
    ShowRecordHistory(this, mRegister.dsContract()->recordId(row), mServices.sendGridToExcel);
}

void ContractRegisterWindow::sendToExcel() {
    mRegister.dsContract()->finishLoading();
    if (mServices.sendGridToExcel)
        mServices.sendGridToExcel(QString(), recordGrid);
}

void ContractRegisterWindow::closeWindow() {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void ContractRegisterWindow::cmbPropertyNameChange() {
    cmbValue->clear();
    cmbValue->addItems(mRegister.filterValues(cmbPropertyName->currentIndex()));
    cmbValue->setEditText(QString());
}

void ContractRegisterWindow::applyFilter() {
    mRegister.applyFilter(cmbPropertyName->currentIndex(), cmbValue->currentText());
}

bool ContractRegisterWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mHeader->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            mHeaderPressed = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            mHeaderPressed = false;
            storePendingWidths();
        }
    }
    if (watched == recordGrid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdEditClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ContractRegisterWindow::hideEvent(QHideEvent *event) {
    mHeaderPressed = false;
    storePendingWidths();
    QWidget::hideEvent(event);
}

bool openContractRegisterWindow(QMdiArea *area, const ContractRegisterServices &services) {
    for (QMdiSubWindow *sub : area->subWindowList()) {
        if (qobject_cast<ContractRegisterWindow *>(sub->widget())) {
            area->setActiveSubWindow(sub);
            sub->showMaximized();
            return true;
        }
    }
    return openMaximizedChild<ContractRegisterWindow>(area, services);
}
